#include "device/settings_transfer.h"

#include <array>

#include "device/config_block_read.h"
#include "device/option_table.h"
#include "device/settings_codec.h"
#include "link/command_codes.h"

namespace {

constexpr std::array<std::uint16_t, kConfigBlockCount> kWriteCommands = {
    CMD_CONFIG_WRITE_1, CMD_CONFIG_WRITE_2, CMD_CONFIG_WRITE_3};

}  // namespace

SettingsTransfer ReadDeviceSettings(IDialogHost& host, DeviceSettings& settings) {
    SettingsTransfer result;
    DeviceSettings read;
    std::uint8_t reply[kHandlerReplyBufSize] = {};
    for (int block = 1; block <= kConfigBlockCount; ++block) {
        const ConfigBlockRead r = ReadConfigBlock(host, block, reply, read);
        if (!r.step.ok) {
            result.failedBlock = block;
            result.step = r.step;
            return result;
        }
    }
    settings = read;
    result.ok = true;
    return result;
}

SettingsTransfer WriteDeviceSettings(IDialogHost& host, const DeviceSettings& settings) {
    SettingsTransfer result;
    if (!AllSelectionsSet(settings))
        return result;
    const auto block1 = EncodeConfigBlock1(settings);
    const auto block2 = EncodeConfigBlock2(settings);
    const auto block3 = EncodeConfigBlock3(settings);
    const std::array<const std::uint8_t*, kConfigBlockCount> blocks = {block1.data(), block2.data(),
                                                                       block3.data()};
    std::uint8_t reply[kHandlerReplyBufSize] = {};
    for (int block = 1; block <= kConfigBlockCount; ++block) {
        const StepResult r =
            RunStep(host, kWriteCommands[block - 1], SUB_CONFIG_WRITE, blocks[block - 1],
                    static_cast<std::uint32_t>(ConfigBlockSize(block)), reply, TIMEOUT_DEFAULT_MS);
        if (!r.ok) {
            result.failedBlock = block;
            result.step = r;
            return result;
        }
    }
    result.ok = true;
    return result;
}
