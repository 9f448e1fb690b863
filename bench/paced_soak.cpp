#include "bench/paced_soak.h"

#include <array>
#include <memory>
#include <thread>
#include <vector>

#include "device/config_block_read.h"
#include "device/option_table.h"
#include "device/settings_codec.h"
#include "dialog/dialog_model.h"
#include "dialog/model_host.h"
#include "dialog/step.h"
#include "link/command_codes.h"
#include "link/status_words.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The simulator's own frames: result word, then 55 AA and a counter.
constexpr std::uint8_t kOwnFrameMarker0 = 0x55;
constexpr std::uint8_t kOwnFrameMarker1 = 0xAA;
constexpr std::uint32_t kOwnFrameDataLength = 3;
// Three configuration reads, then one serial read.
constexpr int kCycle = kConfigBlockCount + 1;

Bytes ReplyBytes(const std::uint8_t* reply, std::uint32_t length) {
    return Bytes(reply, reply + CopiedReplyBytes(length));
}

bool IsOwnFrame(const StepResult& r, const std::uint8_t* reply) {
    return r.dwRxLen == kOwnFrameDataLength && reply[0] == kOwnFrameMarker0 &&
           reply[1] == kOwnFrameMarker1;
}

}  // namespace

PacedSoakTally RunPacedSoak(CBoxSimulator& box, CDeviceLink& link,
                            const PacedSoakOptions& options) {
    CModelHost host(std::make_shared<CDialogModel>(), &link);
    std::uint8_t reply[kHandlerReplyBufSize] = {};
    PacedSoakTally tally;

    // The right answers, read on a quiet line.
    const StepResult serial =
        RunStep(host, CMD_GET_SERIAL, SUB_DEFAULT, nullptr, 0, reply, TIMEOUT_DEFAULT_MS);
    const Bytes serialReply = ReplyBytes(reply, serial.dwRxLen);
    std::array<Bytes, kConfigBlockCount> blocks;
    for (int b = 1; b <= kConfigBlockCount; ++b)
        blocks[static_cast<std::size_t>(b - 1)] = box.ConfigBlock(b);

    box.SetFaults({.unsolicitedInterval = options.unsolicitedInterval});
    for (int i = 0; i < options.transactions; ++i) {
        std::this_thread::sleep_for(options.pace);
        ++tally.transactions;
        const int block = i % kCycle + 1;
        if (block > kConfigBlockCount) {
            ++tally.identityReads;
            const StepResult r =
                RunStep(host, CMD_GET_SERIAL, SUB_DEFAULT, nullptr, 0, reply, TIMEOUT_DEFAULT_MS);
            if (!r.ok)
                ++tally.otherFailures;
            else if (ReplyBytes(reply, r.dwRxLen) == serialReply)
                ++tally.good;
            else if (IsOwnFrame(r, reply))
                ++tally.strayPassed;
            else
                ++tally.wrongPassed;
            continue;
        }
        DeviceSettings settings;
        const ConfigBlockRead r = ReadConfigBlock(host, block, reply, settings);
        const Bytes& expected = blocks[static_cast<std::size_t>(block - 1)];
        if (r.step.ok) {
            const Bytes got(reply + kConfigReplyLeadBytes,
                            reply + kConfigReplyLeadBytes + expected.size());
            if (got == expected)
                ++tally.good;
            else
                ++tally.wrongPassed;
        } else if (r.step.failureCode == ST_SHORT_REPLY) {
            ++tally.strayCaught;
        } else {
            ++tally.otherFailures;
        }
    }
    box.SetFaults({});
    return tally;
}
