#include "device/settings_panel.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "device/config_block_read.h"
#include "device/option_table.h"
#include "device/settings_codec.h"
#include "dialog/step.h"
#include "link/bytes_text.h"
#include "link/command_codes.h"
#include "res/resource.h"
#include "res/status_texts.h"

namespace {

// How a read sequence reports: Read settings shows the blocks' digits, the
// toggle shows failures only.
enum class ReadReporting { ShowDigits, FailuresOnly };

// The reply data from the block's first byte to the reply's end, never beyond
// the bytes copied into the buffer; empty for a reply of 3 data bytes or fewer.
std::string BlockDigits(const std::uint8_t* reply, std::uint32_t replyLength) {
    const std::uint32_t copied = CopiedReplyBytes(replyLength);
    if (copied <= kConfigReplyLeadBytes)
        return {};
    return BytesToHex(reply + kConfigReplyLeadBytes, copied - kConfigReplyLeadBytes);
}

void ReadAllBlocks(IDialogHost& host, ReadReporting reporting) {
    std::uint8_t abRxBuf[kHandlerReplyBufSize] = {};
    std::string strDis;
    std::string strDis1;
    for (int block = 1; block <= kConfigBlockCount; ++block) {
        DeviceSettings settings = SettingsFromControls(host.View());
        const ConfigBlockRead read = ReadConfigBlock(host, block, abRxBuf, settings);
        const StepResult& r = read.step;
        // A failed read leaves nothing of the block that could be written
        // back: not what an earlier read (maybe of another box) showed, nor
        // the part of a short reply that came.
        if (r.ok)
            SetBlockControls(host.View(), settings, block);
        else
            ClearBlockValues(host.View(), block);
        if (r.ok) {
            if (reporting != ReadReporting::ShowDigits)
                continue;
            if (block == 1) {
                strDis = BlockDigits(abRxBuf, r.dwRxLen);
            } else if (block == 2) {
                strDis1 = BlockDigits(abRxBuf, r.dwRxLen);
                host.ShowStatus(strDis + strDis1);
            }
        } else {
            strDis = ErrorText(r.failureCode);
            host.ShowStatus(strDis);
        }
    }
}

}  // namespace

DeviceSettings SettingsFromControls(const IDialogView& view) {
    DeviceSettings settings;
    for (const OptionInfo& o : Options()) {
        if (o.IsFlag()) {
            settings.*o.flag = view.GetCheck(o.controlId);
            continue;
        }
        const Selection sel = view.ComboGetCurSel(o.controlId);
        settings.*o.selection = SelectedEntry(o, sel) != nullptr ? sel : std::nullopt;
    }
    return settings;
}

void SetBlockControls(IDialogView& view, const DeviceSettings& settings, int block) {
    for (const OptionInfo& o : Options()) {
        if (o.block != block)
            continue;
        if (o.IsFlag()) {
            view.SetCheck(o.controlId, settings.*o.flag);
        } else {
            view.ComboSetCurSel(o.controlId, (settings.*o.selection).value_or(-1));
        }
    }
}

void ClearBlockValues(IDialogView& view, int block) {
    for (const OptionInfo& o : Options()) {
        if (o.block != block)
            continue;
        if (o.IsFlag())
            view.SetCheckUnknown(o.controlId);
        else
            view.ComboSetCurSel(o.controlId, -1);
    }
}

bool EveryOptionHasAValue(const IDialogView& view) {
    const auto options = Options();
    return std::all_of(options.begin(), options.end(), [&](const OptionInfo& o) {
        return o.IsFlag() ? !view.IsCheckUnknown(o.controlId)
                          : SelectedEntry(o, view.ComboGetCurSel(o.controlId)) != nullptr;
    });
}

void FillOptionLists(IDialogView& view) {
    for (int id : kComboFillOrder) {
        const OptionInfo* o = FindOptionByControl(id);
        for (std::size_t i = 0; i < o->entries.size(); ++i) {
            view.ComboInsert(id, static_cast<int>(i), std::string(o->entries[i].text));
        }
    }
    // The panel holds no values from the box until a read succeeds.
    for (int block = 1; block <= kConfigBlockCount; ++block)
        ClearBlockValues(view, block);
}

void ReadSettingsQuietly(IDialogHost& host) {
    ReadAllBlocks(host, ReadReporting::FailuresOnly);
}

void OnBnClickedReadSettings(IDialogHost& host) {
    host.ShowStatus("");
    ReadAllBlocks(host, ReadReporting::ShowDigits);
}

void OnBnClickedWriteSettings(IDialogHost& host) {
    struct WriteStep {
        std::uint16_t command;
        std::size_t size;
    };
    static constexpr WriteStep kSteps[kConfigBlockCount] = {
        {CMD_CONFIG_WRITE_1, kConfigBlock1Size},
        {CMD_CONFIG_WRITE_2, kConfigBlock2Size},
        {CMD_CONFIG_WRITE_3, kConfigBlock3Size},
    };

    host.ShowStatus("");
    std::uint8_t abTxBuf[kHandlerReplyBufSize] = {};
    std::uint8_t abRxBuf[kHandlerReplyBufSize] = {};

    if (!EveryOptionHasAValue(host.View())) {
        host.ShowStatus(kTextWriteNeedsRead);
        return;
    }
    const DeviceSettings settings = SettingsFromControls(host.View());
    const auto block1 = EncodeConfigBlock1(settings);
    const auto block2 = EncodeConfigBlock2(settings);
    const auto block3 = EncodeConfigBlock3(settings);
    const std::uint8_t* blocks[kConfigBlockCount] = {block1.data(), block2.data(), block3.data()};

    for (int i = 0; i < kConfigBlockCount; ++i) {
        const WriteStep& step = kSteps[i];
        std::memcpy(abTxBuf, blocks[i], step.size);
        const StepResult r =
            RunStep(host, step.command, SUB_CONFIG_WRITE, abTxBuf,
                    static_cast<std::uint32_t>(step.size), abRxBuf, TIMEOUT_DEFAULT_MS);
        host.ShowStatus(r.ok ? std::string(kTextWriteOk) : ErrorText(r.failureCode));
    }
}

void OnBnClickedFactoryReset(IDialogHost& host) {
    host.ShowStatus("");
    std::uint8_t abRxBuf[kHandlerReplyBufSize] = {};
    const StepResult r =
        RunStep(host, CMD_FACTORY_RESET, SUB_DEFAULT, nullptr, 0, abRxBuf, TIMEOUT_DEFAULT_MS);
    host.ShowStatus(r.ok ? kTextFactoryResetOk : ErrorText(r.failureCode));
    // The panel still shows the values from before the reset, and a Write
    // settings would put them back: show what the box holds now.
    if (r.ok)
        ReadSettingsQuietly(host);
}
