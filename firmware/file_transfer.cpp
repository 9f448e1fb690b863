#include "firmware/file_transfer.h"

#include <optional>
#include <string>

#include "dialog/dialog_host.h"
#include "firmware/progress_bar.h"
#include "layouts/transfer_packets.h"
#include "ops/load_slot_ops.h"
#include "res/resource.h"
#include "res/status_texts.h"

namespace {

// The load slot the list's field shows; none when the field shows typed text
// that is no entry (an address of the operator's own is never used).
std::optional<int> SelectedSlot(IDialogView& view) {
    const int sel = view.ComboGetCurSel(IDC_LOAD_ADDRESS);
    if (sel < 0 || sel >= kLoadSlotCount)
        return std::nullopt;
    return sel;
}

const char* LoadFailureText(const OpResult& r) {
    if (r.failedStep == OpStep::Digest)
        return kTextSendFailed;
    switch (r.load) {
        case ImageLoad::OpenFailed:
            return kTextSendCannotOpen;
        case ImageLoad::NoMemory:
            return kTextSendNoMemory;
        default:
            return kTextSendReadError;
    }
}

}  // namespace

OpResult OnSendFile(IDialogHost& host) {
    IDialogView& view = host.View();
    const std::optional<int> slot = SelectedSlot(view);
    if (!slot) {
        host.ShowStatus(kTextNoLoadAddress);
        return OpResult{.failedStep = OpStep::Input};
    }
    std::optional<CTransferProgress> bar;
    OpHooks hooks;
    hooks.progress = [&](const OpProgress& e) {
        switch (e.kind) {
            case OpProgress::Kind::TransferStart:
                bar.emplace(view);
                break;
            case OpProgress::Kind::Sent:
                ShowSent(host, *bar, kTextSending, e);
                break;
            case OpProgress::Kind::TransferEnd:
                host.ShowStatus(e.ok ? kTextSent : kTextSendFailed);
                bar.reset();
                break;
            default:
                break;
        }
    };
    const OpResult r = DownloadFile(host, view.GetItemText(IDC_TARGET_FILE), *slot, hooks);
    if (r.failedStep == OpStep::Load || r.failedStep == OpStep::Digest)
        host.ShowStatus(LoadFailureText(r));
    return r;
}

OpResult OnJump(IDialogHost& host) {
    const std::optional<int> slot = SelectedSlot(host.View());
    if (!slot) {
        host.ShowStatus(kTextNoLoadAddress);
        return OpResult{.failedStep = OpStep::Input};
    }
    const OpResult r = JumpToSlot(host, *slot);
    if (r.ok)
        host.ShowStatus(kTextJumping);
    return r;
}
