#pragma once
// CBoxOperations: the station's way to the box operations of ops/, over a
// link of the station's own. Each call runs one operation with the station's
// hooks and hands back its result value; the unit judges from those values.
//
// Every request says which reply lengths can be its reply, so a frame the box
// sends on its own is dropped rather than taken for one; the version and the
// serial, whose lengths vary, are read until two reads agree. Every request
// passes the abort check first: while the station asks for an
// abort nothing more is sent, so an operation in progress ends at its next
// request, aborted. Transfers report their progress to the progress sink
// (bytes done of total; a total of kBusyProgressTotal while the box applies
// an update). A result that failed in a transaction tells the station its
// reason code (TransactionFailureOf); nothing of it is kept here.
//
// Threads: one caller at a time (the unit loop); the sink is called on it.

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "layouts/device_settings.h"
#include "link/status_words.h"
#include "ops/op_result.h"
#include "ops/settings_ops.h"
#include "ops/transactor.h"
#include "ops/upgrade_timing.h"

class CDeviceLink;

// The progress total that means "busy, no count".
constexpr long long kBusyProgressTotal = -1;

// How an operation's request failed, as the station words its reason.
struct TransactionFailure {
    bool any = false;
    StatusWord status = ST_OK;     // the link's word; ST_OK when the box answered
    std::uint16_t resultWord = 0;  // the box's word when it answered
    bool aborted = false;          // refused because an abort was asked for
};

// The transaction failure in `result`; `any` false when it succeeded or was
// refused before anything was sent (a file that could not be read).
TransactionFailure TransactionFailureOf(const OpResult& result);

class CBoxOperations {
public:
    using ProgressSink = std::function<void(long long value, long long total)>;
    // Asked before every request; true stops the request from being sent.
    using AbortCheck = std::function<bool()>;

    CBoxOperations(CDeviceLink& link, const UpgradeTiming& timing);

    void SetProgressSink(ProgressSink progress);
    void SetAbortCheck(AbortCheck check);

    // Version text and serial number (hex), each read until two reads in a
    // row agree (at most kMaxIdentityReads); `version`/`serial` is set only
    // on success.
    static constexpr int kMaxIdentityReads = 4;
    OpResult ReadVersion(std::string& version);
    OpResult ReadSerial(std::string& serial);
    // The whole firmware update, of package bytes the caller holds.
    OpResult UpdateFirmware(std::span<const std::uint8_t> package);
    // The box's factory settings restored.
    OpResult RestoreFactorySettings();
    // With `raw`, the blocks as read or as written (ops/settings_ops.h).
    OpResult ReadSettings(DeviceSettings& settings, ConfigBlockBytes* raw = nullptr);
    OpResult WriteSettings(const DeviceSettings& settings, ConfigBlockBytes* raw = nullptr);
    // Download of bytes the caller holds into load slot `slot`; with
    // `requireSuccessWord` a packet the box answers with any result word but
    // success fails the download.
    OpResult Download(std::span<const std::uint8_t> file, int slot,
                      bool requireSuccessWord = false);
    OpResult Jump(int slot, bool requireSuccessWord = false);
    // One probe as the port scan sends it; true when any valid frame came back.
    bool Probe();

private:
    OpHooks Hooks();
    OpResult ReadAgreed(std::uint16_t command, std::string& text);

    CDeviceLink& m_link;
    CLinkTransactor m_transactor;
    UpgradeTiming m_timing;
    ProgressSink m_progressSink;
    AbortCheck m_abortCheck;
};
