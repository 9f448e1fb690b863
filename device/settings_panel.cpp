#include "device/settings_panel.h"

#include <algorithm>
#include <string>

#include "base/bytes_text.h"
#include "dialog/error_text.h"
#include "layouts/option_table.h"
#include "layouts/settings_codec.h"
#include "ops/settings_ops.h"
#include "res/resource.h"
#include "res/status_texts.h"

namespace {

// How a read sequence reports: Read settings shows the blocks' digits, the
// toggle shows failures only.
enum class ReadReporting { ShowDigits, FailuresOnly };

// The reply data from the block's first byte to the reply's end, never beyond
// the bytes copied; empty for a reply of 3 data bytes or fewer.
std::string BlockDigits(const LinkReply& reply) {
    if (reply.data.size() <= kConfigReplyLeadBytes)
        return {};
    return BytesToHex(reply.data.data() + kConfigReplyLeadBytes,
                      reply.data.size() - kConfigReplyLeadBytes);
}

// Reads the three blocks into the controls; the first failing block's outcome,
// or success.
OpResult ReadAllBlocks(IDialogHost& host, ReadReporting reporting) {
    OpResult outcome;
    outcome.ok = true;
    std::string strDis;
    std::string strDis1;
    for (int block = 1; block <= kConfigBlockCount; ++block) {
        DeviceSettings settings = SettingsFromControls(host.View());
        const ConfigBlockRead read = ReadConfigBlock(host, block, settings);
        // A failed read leaves nothing of the block that could be written
        // back: not what an earlier read (maybe of another box) showed, nor
        // the part of a short reply that came.
        if (read.result.ok)
            SetBlockControls(host.View(), settings, block);
        else
            ClearBlockValues(host.View(), block);
        if (read.result.ok) {
            if (reporting != ReadReporting::ShowDigits)
                continue;
            if (block == 1) {
                strDis = BlockDigits(read.reply);
            } else if (block == 2) {
                strDis1 = BlockDigits(read.reply);
                host.ShowStatus(strDis + strDis1);
            }
        } else {
            if (outcome.ok)
                outcome = read.result;
            strDis = ErrorText(read.result.failureCode);
            host.ShowStatus(strDis);
        }
    }
    return outcome;
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

OpResult OnBnClickedReadSettings(IDialogHost& host) {
    host.ShowStatus("");
    return ReadAllBlocks(host, ReadReporting::ShowDigits);
}

OpResult OnBnClickedWriteSettings(IDialogHost& host) {
    host.ShowStatus("");
    OpResult outcome;
    if (!EveryOptionHasAValue(host.View())) {
        host.ShowStatus(kTextWriteNeedsRead);
        outcome.failedStep = OpStep::Input;
        return outcome;
    }
    const DeviceSettings settings = SettingsFromControls(host.View());
    outcome.ok = true;
    for (int block = 1; block <= kConfigBlockCount; ++block) {
        const OpResult r = WriteConfigBlock(host, block, settings);
        host.ShowStatus(r.ok ? std::string(kTextWriteOk) : ErrorText(r.failureCode));
        if (!r.ok && outcome.ok)
            outcome = r;
    }
    return outcome;
}

OpResult OnBnClickedFactoryReset(IDialogHost& host) {
    host.ShowStatus("");
    OpResult r = FactoryReset(host);
    host.ShowStatus(r.ok ? kTextFactoryResetOk : ErrorText(r.failureCode));
    // The panel still shows the values from before the reset, and a Write
    // settings would put them back: show what the box holds now.
    if (r.ok)
        r = ReadAllBlocks(host, ReadReporting::FailuresOnly);
    return r;
}
