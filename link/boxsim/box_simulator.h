#pragma once
// CBoxSimulator: the box's side of the line, for tests, benchmarks and demos.
//
// (Principles of operation: to be completed with the implementation.)
// It opens a pseudo-terminal, links its slave side as <portDir>/COM<n> and
// serves request frames on a thread of its own: every command of the command
// table, with state (identity, three configuration blocks and their factory
// defaults, firmware transfer, load slots) and faults injected on demand.
// All setters may be called while it serves.

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

    // Load slots 0..5 at (index + 1) * 0x1E000.
    SimLoadSlot Slot(int index) const;
    std::optional<std::uint32_t> LastJumpAddress() const;

    // Faults.
    void SetOverride(std::uint16_t command, const SimOverride& o);
    void ClearOverrides();
    void SetSilent(bool silent);
    void SetBadChecksum(bool bad);
    void SetGarbageBeforeReply(const std::vector<std::uint8_t>& bytes);
    void SetTruncateReply(std::size_t keepBytes);  // 0: off
    void SetByteDelay(std::chrono::milliseconds delay);
    void SetUnsolicitedInterval(std::chrono::milliseconds interval);  // 0: off
    void SetThrottleBaud(unsigned baud);                              // 0: off (10 bits a byte)

    // Requests received so far, in order.
    std::vector<SimRequest> Requests() const;
    void ClearRequests();
    bool WaitForRequestCount(std::size_t n, std::chrono::milliseconds timeout) const;
};

// A firmware package the simulator accepts: a 32-byte header (0xC9 0x49, then
// the new version text) followed by `dataSize` bytes of data.
std::vector<std::uint8_t> MakeSamplePackage(const std::string& newVersion, std::size_t dataSize);
