#pragma once
// Firmware update: writes a package from the Prg folder into the box, makes it
// apply the package, reads the identity again and restores factory settings.
//
// Principles of operation. RunUpgrade is one straight sequence: load the
// package whole (nothing is sent unless it loads completely and holds at least
// its header), prepare the box, send the header and the firmware data in
// packets of up to 256 bytes, end and commit, then wait out the box's restart,
// re-read version and serial into their fields and ask for factory settings.
// Every outcome goes to the status line; a failure of the transfer ends the
// run with a report of the failing request, while the steps after the commit
// each only choose a text and the run goes on. Each request is one whole
// exchange under the link's lock, so the dialog's other operations may run
// between two of them. RunUpgrade runs on the worker of CUpgradeRunner and
// touches only what the host gives it.

#include <cstdint>
#include <string>

#include "link/command_codes.h"

class IDialogHost;

// Pauses and waits of the update, in milliseconds.
// The box switches to its loader after the prepare requests.
constexpr std::uint32_t kPrepareSettleMs = 1500;
// The box applies the new image and restarts into it after the commit.
constexpr std::uint32_t kRestartSettleMs = 9000;
// The box settles before the version that is shown is read.
constexpr std::uint32_t kVersionPauseMs = 500;
// The box settles between the version and the serial-number request.
constexpr std::uint32_t kSerialPauseMs = 500;
// The box settles before it restores its factory settings.
constexpr std::uint32_t kFactoryResetPauseMs = 500;
// First-byte wait of the version requests after the commit: the box stays
// silent while it writes the new firmware and restarts.
constexpr std::uint32_t kRestartFirstByteMs = TIMEOUT_RESTART_MS;

// The update's timing. The product uses the defaults; tests and benchmarks
// construct shorter ones to match a simulated box that restarts at once.

struct UpgradeTiming {
    std::uint32_t prepareSettleMs = kPrepareSettleMs;
    std::uint32_t restartSettleMs = kRestartSettleMs;
    std::uint32_t versionPauseMs = kVersionPauseMs;
    std::uint32_t serialPauseMs = kSerialPauseMs;
    std::uint32_t factoryResetPauseMs = kFactoryResetPauseMs;
    std::uint32_t restartFirstByteMs = kRestartFirstByteMs;

    // Sum of the fixed pauses (what a run takes beyond its exchanges).
    std::uint32_t TotalPausesMs() const {
        return prepareSettleMs + restartSettleMs + versionPauseMs + serialPauseMs +
               factoryResetPauseMs;
    }
};

// The whole procedure, on the calling thread; outcomes go to the status line.
// The package is the selected entry of the package list in ./Prg.
void RunUpgrade(IDialogHost& host, const UpgradeTiming& timing);
// The same procedure for a package anywhere (the station's recipe names one
// beside the recipe); the package list is not looked at.
void RunUpgradeFromPath(IDialogHost& host, const std::string& packagePath,
                        const UpgradeTiming& timing);
