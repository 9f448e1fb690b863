#include "ops/settings_ops.h"

#include <array>

#include "layouts/option_table.h"
#include "layouts/settings_codec.h"
#include "link/command_codes.h"
#include "ops/op_step.h"

namespace {

constexpr std::array<std::uint16_t, kConfigBlockCount> kReadCommands = {
    CMD_CONFIG_READ_1, CMD_CONFIG_READ_2, CMD_CONFIG_READ_3};
constexpr std::array<std::uint16_t, kConfigBlockCount> kWriteCommands = {
    CMD_CONFIG_WRITE_1, CMD_CONFIG_WRITE_2, CMD_CONFIG_WRITE_3};

std::size_t BlockIndex(int block) {
    return static_cast<std::size_t>(block - 1);
}

// Whether a successful reply of `replyLength` data bytes holds the lead bytes
// and every byte of block `block`.
bool IsWholeConfigReply(int block, std::uint32_t replyLength) {
    return replyLength >= kConfigReplyLeadBytes + ConfigBlockSize(block);
}

std::vector<std::uint8_t> EncodeBlock(int block, const DeviceSettings& settings) {
    switch (block) {
        case 1: {
            const auto b = EncodeConfigBlock1(settings);
            return {b.begin(), b.end()};
        }
        case 2: {
            const auto b = EncodeConfigBlock2(settings);
            return {b.begin(), b.end()};
        }
        default: {
            const auto b = EncodeConfigBlock3(settings);
            return {b.begin(), b.end()};
        }
    }
}

}  // namespace

ConfigBlockRead ReadConfigBlock(ITransactor& link, int block, DeviceSettings& settings,
                                const OpHooks& hooks) {
    ConfigBlockRead read;
    CBoxExchange exchange(link, hooks, read.result);
    BoxStep s = exchange.Step(OpStep::ConfigRead, {.command = kReadCommands[BlockIndex(block)]});
    read.reply = std::move(s.reply);
    if (!s.ok) {
        read.result.failedBlock = block;
        return read;
    }
    DecodeConfigBlock(block, read.reply.data.data(), read.reply.length, settings);
    read.applied = true;
    if (!IsWholeConfigReply(block, read.reply.length)) {
        read.result.failedStep = OpStep::ConfigRead;
        read.result.status = ST_OK;
        read.result.failureCode = ST_SHORT_REPLY;
        read.result.failedBlock = block;
        return read;
    }
    read.result.ok = true;
    return read;
}

OpResult WriteConfigBlock(ITransactor& link, int block, const DeviceSettings& settings,
                          const OpHooks& hooks) {
    OpResult result;
    CBoxExchange exchange(link, hooks, result);
    const std::vector<std::uint8_t> data = EncodeBlock(block, settings);
    if (!exchange
             .Step(OpStep::ConfigWrite, {.command = kWriteCommands[BlockIndex(block)],
                                         .subCode = SUB_CONFIG_WRITE,
                                         .data = data})
             .ok) {
        result.failedBlock = block;
        return result;
    }
    result.ok = true;
    return result;
}

OpResult ReadDeviceSettings(ITransactor& link, DeviceSettings& settings, const OpHooks& hooks,
                            ConfigBlockBytes* raw) {
    DeviceSettings read;
    for (int block = 1; block <= kConfigBlockCount; ++block) {
        ConfigBlockRead r = ReadConfigBlock(link, block, read, hooks);
        if (!r.result.ok)
            return r.result;
        if (raw != nullptr) {
            const auto from = r.reply.data.begin() + kConfigReplyLeadBytes;
            (*raw)[BlockIndex(block)].assign(
                from, from + static_cast<std::ptrdiff_t>(ConfigBlockSize(block)));
        }
    }
    settings = read;
    OpResult result;
    result.ok = true;
    return result;
}

OpResult WriteDeviceSettings(ITransactor& link, const DeviceSettings& settings,
                             const OpHooks& hooks, ConfigBlockBytes* raw) {
    OpResult result;
    if (!AllSelectionsSet(settings)) {
        result.failedStep = OpStep::Input;
        return result;
    }
    for (int block = 1; block <= kConfigBlockCount; ++block) {
        if (raw != nullptr)
            (*raw)[BlockIndex(block)] = EncodeBlock(block, settings);
        result = WriteConfigBlock(link, block, settings, hooks);
        if (!result.ok)
            return result;
    }
    return result;
}

OpResult FactoryReset(ITransactor& link, const OpHooks& hooks) {
    OpResult result;
    CBoxExchange exchange(link, hooks, result);
    result.ok = exchange.Step(OpStep::FactoryReset, {.command = CMD_FACTORY_RESET}).ok;
    return result;
}
