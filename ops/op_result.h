#pragma once
// What every box operation hands back and reports on its way.
//
// An operation (ops/*.h) runs on its caller's thread and talks to the box only
// through an ITransactor. It reports through OpHooks: `progress` hears typed
// events as they happen (a transfer begins, bytes sent, the box applies an
// update, an identity read again), and `abort` is asked before every request,
// so an operation stops at its next request once it says true. Its end is an
// OpResult: whether it succeeded, which step failed, the link's status word
// and the box's result word of that step, and how far a transfer got. Nothing
// here knows a control or a status text; the dialog handlers and the station
// turn these values into what they show.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "layouts/file_image.h"
#include "link/status_words.h"

enum class OpStep {
    None,
    Input,     // an input refused before anything was sent (a load slot out
               // of range, a settings record with a selection of none)
    Load,      // reading the file (or the bytes do not fit): nothing sent
    Digest,    // the file's SHA-1 could not be made: nothing sent
    Identity,  // a version or serial read
    Probe,
    ConfigRead,
    ConfigWrite,
    FactoryReset,  // also the last step of a firmware update
    UpgradeBegin,  // the package header
    UpgradeData,
    UpgradeCommit,
    InfoBlock,  // the download's first packet
    FileData,
    Jump,
};

struct OpResult {
    bool ok = false;
    OpStep failedStep = OpStep::None;
    // The link's word of the failing request; ST_OK when the box answered it.
    StatusWord status = ST_OK;
    // Result word and data length of the last reply that arrived (0 before
    // any did).
    std::uint16_t resultWord = 0;
    std::uint32_t replyLength = 0;
    // Some request of the operation had a reply.
    bool answered = false;
    // The code a failed step reports: the link's word when it was not ST_OK,
    // else the box's result word, or ST_SHORT_REPLY for a configuration reply
    // shorter than its block.
    std::uint16_t failureCode = 0;
    // The request was held back because the caller asked for an abort.
    bool aborted = false;
    // Configuration transfers: the failing block (1..3); 0 when none or when
    // nothing was sent.
    int failedBlock = 0;
    // Why the Load step failed.
    ImageLoad load = ImageLoad::Ok;
    // Transfers: data bytes the box took, of how many.
    std::uint64_t bytesDone = 0;
    std::uint64_t bytesTotal = 0;
    // Firmware update: the codes of the steps after the commit that failed
    // while the update went on, in order (each also heard as
    // OpProgress::Kind::StepFailed).
    std::vector<std::uint16_t> laterFailureCodes = {};
    // Downloads and the jump: every result word the box gave, in order.
    std::vector<std::uint16_t> resultWords = {};

    explicit operator bool() const { return ok; }
    // A request went out and failed (or was held back), as opposed to an
    // input refused before anything was sent.
    bool TransactionFailed() const {
        return !ok && failedStep != OpStep::None && failedStep != OpStep::Input &&
               failedStep != OpStep::Load && failedStep != OpStep::Digest;
    }
};

struct OpProgress {
    enum class Kind {
        Loading,        // the file is being read
        TransferStart,  // the first packet is about to go
        Sent,           // `done` of `total` data bytes taken, more to come
        TransferEnd,    // the transfer ended: `ok`, else `status`, `resultWord`, `replyLength`
        Applying,       // the box applies an update and restarts: no count to show
        Identity,       // read again after an update: `command` and its `text`
        StepFailed,     // a step after the commit failed with `code`; the update goes on
        ApplyEnd,       // the update's last step ended: `ok` when the box took it
    };
    Kind kind = Kind::Loading;
    std::uint64_t done = 0;
    std::uint64_t total = 0;
    bool ok = false;
    StatusWord status = ST_OK;
    std::uint16_t resultWord = 0;
    std::uint32_t replyLength = 0;
    std::uint16_t command = 0;
    std::uint16_t code = 0;
    std::string text = {};
};

// How a request's wait treats a valid frame of a length its reply cannot have
// (ExpectedReplyLengths).
enum class ReplyLengthRule {
    // Kept aside: it is the reply only when no fitting one follows within the
    // time-out (a frame the box sends on its own as a request goes out does
    // not take the reply's place, and a box answering with an odd length is
    // still heard).
    KeepAside,
    // Dropped as the box's own while the wait goes on; so are stray bytes and
    // broken frames, whatever the request accepts (the wait ends only at its
    // time-out: LinkRequest::readOnPastStrays). With this rule and KeepAside
    // each request waits for a quiet line (LinkRequest::quietLineFirst).
    Strict,
    // Not checked: the first valid frame is the reply, whatever its length.
    Any,
};

struct OpHooks {
    std::function<void(const OpProgress& event)> progress;
    // Asked before every request; true holds it and every later one back.
    std::function<bool()> abort;
    ReplyLengthRule replyLengths = ReplyLengthRule::KeepAside;
    // How many more times a request that only reads (IsReadOnlyRequest) is
    // sent when no reply came within its wait; a write or a transfer packet is
    // never sent twice, as the box may have acted on it. Only requests with a
    // wait of at most TIMEOUT_DEFAULT_MS: a longer one waits for the box to come
    // back (a restart), which asking again would only make longer.
    int readRetries = 0;
};
