#include "bench/paced_soak.h"

#include <array>
#include <memory>
#include <thread>
#include <vector>

#include "layouts/option_table.h"
#include "layouts/settings_codec.h"
#include "link/command_codes.h"
#include "link/status_words.h"
#include "ops/op_step.h"
#include "ops/settings_ops.h"
#include "ops/transactor.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// The simulator's own frames: result word, then 55 AA and a counter.
constexpr std::uint8_t kOwnFrameMarker0 = 0x55;
constexpr std::uint8_t kOwnFrameMarker1 = 0xAA;
constexpr std::uint32_t kOwnFrameDataLength = 3;
// Three configuration reads, then one serial read.
constexpr int kCycle = kConfigBlockCount + 1;

bool IsOwnFrame(const LinkReply& reply) {
    return reply.length == kOwnFrameDataLength && reply.data[0] == kOwnFrameMarker0 &&
           reply.data[1] == kOwnFrameMarker1;
}

BoxStep ReadSerial(CDeviceLink& link) {
    return JudgeStep(link.Transact({.command = CMD_GET_SERIAL}));
}

}  // namespace

PacedSoakTally RunPacedSoak(CBoxSimulator& box, CDeviceLink& link,
                            const PacedSoakOptions& options) {
    PacedSoakTally tally;

    // The right answers, read on a quiet line.
    const Bytes serialReply = ReadSerial(link).reply.data;
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
            const BoxStep r = ReadSerial(link);
            if (!r.ok)
                ++tally.otherFailures;
            else if (r.reply.data == serialReply)
                ++tally.good;
            else if (IsOwnFrame(r.reply))
                ++tally.strayPassed;
            else
                ++tally.wrongPassed;
            continue;
        }
        DeviceSettings settings;
        CLinkTransactor transactor(link);
        const ConfigBlockRead r = ReadConfigBlock(transactor, block, settings);
        const Bytes& expected = blocks[static_cast<std::size_t>(block - 1)];
        if (r.result.ok) {
            const auto from = r.reply.data.begin() + kConfigReplyLeadBytes;
            const Bytes got(from, from + static_cast<std::ptrdiff_t>(expected.size()));
            if (got == expected)
                ++tally.good;
            else
                ++tally.wrongPassed;
        } else if (r.result.failureCode == ST_SHORT_REPLY) {
            ++tally.strayCaught;
        } else {
            ++tally.otherFailures;
        }
    }
    box.SetFaults({});
    return tally;
}
