#pragma once
// What a box operation hands back and tells along the way: plain values, no
// texts, so a window, the command-line tool and the station each judge and
// word an outcome their own way.

#include <cstdint>
#include <functional>
#include <string>

#include "link/status_words.h"

// The step an operation stopped at.
enum class OpStep {
    None,
    Version,
    Serial,
    Probe,
    SettingsBlock,  // OpResult::block says which
    LoadSlot,       // no such load slot
    FileOpen,
    FileMemory,
    FileRead,       // short read, or larger than the box takes
    AddressRange,   // the file would reach past the box's address space
    Digest,
    InfoPacket,
    DataPacket,
    Jump,
};

struct OpResult {
    bool ok = false;
    OpStep failedStep = OpStep::None;
    StatusWord status = ST_OK;     // the link's word of the failing request
    std::uint16_t resultWord = 0;  // the box's word when it answered
    std::uint32_t bytesDone = 0;   // file bytes the box took
    bool aborted = false;          // stopped by the abort check before a request
    int block = 0;                 // the settings block of OpStep::SettingsBlock
};

struct OpProgress {
    enum class Kind {
        Loading,           // reading the file or package
        BytesSent,         // done of total file bytes sent (0 before the first)
        Applying,          // the box applies what was committed
        Reidentified,      // version and serial read after the box restarted
        PostCommitFailed,  // a step after the commit failed with code
    };
    Kind kind = Kind::Loading;
    std::uint32_t done = 0;
    std::uint32_t total = 0;
    std::string version;
    std::string serial;
    std::uint16_t code = 0;
};

struct OpHooks {
    std::function<void(const OpProgress&)> progress;
    // Asked before every request; true stops the operation there.
    std::function<bool()> abort;
};
