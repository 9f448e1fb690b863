#pragma once
// CBoxSimulator: the box's side of the line, for tests, benchmarks and demos.
//
// Principles of operation. Start() opens a pseudo-terminal, puts its slave
// side in raw mode and keeps one slave descriptor open for the simulator's
// whole life, so the tool may close and reopen the port without the box side
// ever seeing a hang-up. The slave is linked as <portDir>/COM<n>. One serving
// thread waits in poll() on the master side and on a wake-up signal; it reads
// request frames with the frame codec's reader, answers each accepted request
// with one reply frame, and sends unsolicited frames between requests when
// asked to.
//
// The box keeps state (identity, three configuration blocks and their factory
// defaults, firmware transfer, load slots) and injects faults on demand. One
// mutex guards all of it, so every setter and getter may be called from any
// thread while the box serves; the serving thread never holds the mutex while
// it writes or sleeps.
//
// Replies: every reply carries a result word; commands whose data the tool does
// not look at get two further bytes 00 00. Identity replies put two bytes
// ahead of the identity data, configuration reads three bytes ahead of the
// block. Errors of the box's own use the kSimResult* words below (never 0x0004,
// which the tool takes as success for firmware transfer requests).
//
// Overrides and faults change only what goes on the wire: the box still acts on
// the request, except when it stays silent (an override's `silent` or the
// faults' `silent`), which it then ignores.
//
// Slot addresses, package magic and SHA-1 are the box's own, not the tool's:
// the simulator is an independent check of the tool.
//
// Firmware restart: after an accepted commit the box answers nothing for the
// restart time. A request that arrives meanwhile is kept (a later one replaces
// it) and answered once the restart is over, as a box that queues its last
// received frame does; the tool's long first-byte wait after a commit relies on
// that. It enters Requests() when it is answered. SetAnswerAfterRestart(false)
// drops such requests instead; dropped requests are not recorded. The new
// version: the text in a 32-byte C9 49 header (MakeSamplePackage), else the
// old version with "+1" appended.
//
// Downloads: a 256-byte packet at a slot's load address is that slot's
// information block and starts the slot afresh; data packets must follow on
// without gaps. A slot still waiting for data takes its next packet even when
// it lands on the next slot's load address (a file longer than its slot).

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Result words of the box's own refusals.
constexpr std::uint16_t kSimResultBadLength = 0x0001;   // request data of the wrong length
constexpr std::uint16_t kSimResultBadOffset = 0x0002;   // transfer packet out of sequence
constexpr std::uint16_t kSimResultNoHeader = 0x0003;    // upgrade data or commit before a header
constexpr std::uint16_t kSimResultBadAddress = 0x0005;  // download packet outside every slot
constexpr std::uint16_t kSimResultUnknownCommand = 0x00FF;  // code the box does not know

constexpr int kSimSlotCount = 6;
constexpr std::uint32_t kSimSlotStride = 0x1E000;
// The information block of a download is one 256-byte packet at the load address.
constexpr std::size_t kSimInfoBlockSize = 256;

// Requests the simulator retains (Requests()): more than any one test or
// operation sends (a 256 KiB update is about 1030), few enough that a soak of
// any length holds well under a megabyte of them.
constexpr std::size_t kSimRequestHistory = 4096;

struct SimRequest {
    std::uint16_t command = 0;
    std::uint16_t subCode = 0;
    std::vector<std::uint8_t> data;
};

// Replaces the normal answer to one command. Unset fields keep the normal
// behaviour. `times` is how many requests it applies to (-1: until cleared).
struct SimOverride {
    std::optional<std::uint16_t> resultWord;
    // Reply data after the result word, exactly as sent (may be empty).
    std::optional<std::vector<std::uint8_t>> replyData;
    // Whole reply payload, result word included (lets a test send L of 0 or 1).
    std::optional<std::vector<std::uint8_t>> rawPayload;
    bool silent = false;
    bool badChecksum = false;
    int times = -1;
};

// How the box misbehaves on the line, for every request until changed. The
// defaults are a well-behaved box.
struct SimFaults {
    bool silent = false;                               // answers no request and ignores it
    bool badChecksum = false;                          // corrupts the checksum of every reply
    std::vector<std::uint8_t> garbage{};               // written ahead of every reply
    std::size_t truncateReply = 0;                     // bytes of each reply frame sent; 0: all
    std::chrono::milliseconds byteDelay{0};            // pause between the bytes of a reply
    std::chrono::milliseconds unsolicitedInterval{0};  // a frame of the box's own; 0: off
    unsigned throttleBaud = 0;  // paces the line at this rate (10 bits a byte); 0: off
};

// A fault of the box's memory: every accepted write of configuration block
// `block` (1..3) stores byte `byte` with the bits of `flipMask` inverted,
// while the reply still says the write succeeded. A read shows what was
// stored, so a tool that reads back finds the difference.
struct SimStoreFault {
    int block = 1;
    std::size_t byte = 0;
    std::uint8_t flipMask = 0;
};

struct SimLoadSlot {
    bool infoReceived = false;
    std::uint32_t address = 0;
    std::uint32_t fileLength = 0;
    std::array<std::uint8_t, 20> announcedSha1{};
    std::vector<std::uint8_t> data;  // bytes received at address + 256 onward
    bool sha1Matches = false;        // data complete and its SHA-1 equals the announced one
};

class CBoxSimulator {
public:
    CBoxSimulator();
    ~CBoxSimulator();  // stops serving, removes the link
    CBoxSimulator(const CBoxSimulator&) = delete;
    CBoxSimulator& operator=(const CBoxSimulator&) = delete;

    // Creates the pseudo-terminal, links it as portDir/COM<comNumber>, serves.
    bool Start(const std::string& portDir, int comNumber);
    void Stop();
    // Closes the box's side as an unplugged cable would; the link stays.
    void Unplug();
    std::string LinkPath() const;
    // The pseudo-terminal's slave device, e.g. /dev/pts/5 (empty before Start).
    std::string SlavePath() const;
    bool IsServing() const;

    // Identity.
    void SetVersion(const std::string& text);
    std::string Version() const;
    void SetSerial(const std::vector<std::uint8_t>& bytes);

    // Configuration blocks 1..3 (16, 20, 16 bytes) and their factory defaults.
    std::vector<std::uint8_t> ConfigBlock(int block) const;
    void SetConfigBlock(int block, const std::vector<std::uint8_t>& bytes);
    void SetFactoryDefaults(int block, const std::vector<std::uint8_t>& bytes);

    // Firmware transfer: the last header and data received, whether a commit
    // was accepted, and how long the box stays silent while it restarts.
    std::vector<std::uint8_t> UpgradeHeader() const;
    std::vector<std::uint8_t> UpgradeData() const;
    int CommitCount() const;
    void SetRestartTime(std::chrono::milliseconds t);
    // true (default): the last request received while restarting is answered
    // when the restart is over; false: it is dropped.
    void SetAnswerAfterRestart(bool answer);
    bool IsRestarting() const;

    // Load slots 0..5 at (index + 1) * 0x1E000.
    SimLoadSlot Slot(int index) const;
    std::optional<std::uint32_t> LastJumpAddress() const;

    // Faults: per command (overrides) and for the whole line. SetFaults
    // replaces all line faults at once; SetFaults({}) clears them.
    void SetOverride(std::uint16_t command, const SimOverride& o);
    void ClearOverrides();
    void SetFaults(const SimFaults& faults);
    // Store fault (SimStoreFault); nullopt switches it off.
    void SetStoreFault(const std::optional<SimStoreFault>& fault);

    // The last kSimRequestHistory requests received, in order; older ones
    // are only counted, so a long soak keeps its memory bounded.
    std::vector<SimRequest> Requests() const;
    // Requests received in all, and those of one command, retained or not.
    std::uint64_t RequestCount() const;
    std::uint64_t RequestCount(std::uint16_t command) const;
    // Forgets the retained requests and resets the counts.
    void ClearRequests();
    // Waits until RequestCount() reaches n.
    bool WaitForRequestCount(std::size_t n, std::chrono::milliseconds timeout) const;
    // Called on the serving thread for every accepted request, after its reply
    // has been made and before it is written (the executable's --verbose log).
    // An override set from the hook therefore applies from the next request on.
    // The hook must not call Start, Stop or Unplug. Empty to switch off.
    using RequestHook = std::function<void(const SimRequest&)>;
    void SetRequestHook(RequestHook hook);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// A firmware package the simulator accepts: a 32-byte header (0xC9 0x49, then
// the new version text) followed by `dataSize` bytes of data.
std::vector<std::uint8_t> MakeSamplePackage(const std::string& newVersion, std::size_t dataSize);
