#include "device/config_block_read.h"

#include <array>

#include "device/option_table.h"
#include "device/settings_codec.h"
#include "link/command_codes.h"
#include "link/status_words.h"

namespace {

constexpr std::array<std::uint16_t, kConfigBlockCount> kReadCommands = {
    CMD_CONFIG_READ_1, CMD_CONFIG_READ_2, CMD_CONFIG_READ_3};

// Whether a successful reply of `replyLength` data bytes holds the lead bytes
// and every byte of block `block`.
bool IsWholeConfigReply(int block, std::uint32_t replyLength) {
    return replyLength >= kConfigReplyLeadBytes + ConfigBlockSize(block);
}

}  // namespace

ConfigBlockRead ReadConfigBlock(IDialogHost& host, int block, std::uint8_t* reply,
                                DeviceSettings& settings) {
    ConfigBlockRead read;
    read.step = RunStep(host, kReadCommands[static_cast<std::size_t>(block - 1)], SUB_DEFAULT,
                        nullptr, 0, reply, TIMEOUT_DEFAULT_MS);
    if (!read.step.ok)
        return read;
    DecodeConfigBlock(block, reply, read.step.dwRxLen, settings);
    read.applied = true;
    if (!IsWholeConfigReply(block, read.step.dwRxLen)) {
        read.step.ok = false;
        read.step.failureCode = ST_SHORT_REPLY;
    }
    return read;
}
