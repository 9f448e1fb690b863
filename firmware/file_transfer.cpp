#include "firmware/file_transfer.h"

#include <optional>
#include <string>

#include "dialog/dialog_host.h"
#include "dialog/host_transactor.h"
#include "firmware/load_slot_words.h"
#include "firmware/progress_bar.h"
#include "ops/load_slot_ops.h"
#include "res/resource.h"

namespace {

// The selected slot; any index but a slot's (nothing selected, typed text that
// is no entry) the operations refuse, so an address of the operator's own is
// never used.
int SelectedSlot(IDialogView& view) {
    return view.ComboGetCurSel(IDC_LOAD_ADDRESS);
}

}  // namespace

void OnSendFile(IDialogHost& host) {
    IDialogView& view = host.View();
    const int slot = SelectedSlot(view);
    const std::string file_path = view.GetItemText(IDC_TARGET_FILE);
    std::optional<CTransferProgress> bar;
    OpHooks hooks;
    hooks.progress = [&](const OpProgress& p) {
        if (p.kind != OpProgress::Kind::BytesSent)
            return;
        if (!bar)
            bar.emplace(view);
        if (p.done == 0 || p.done >= p.total)
            return;
        host.ShowStatus(DownloadProgressText(p.done, p.total));
        bar->Set(p.done, p.total);
    };
    CHostTransactor transactor(host);
    const OpResult r = DownloadOp(transactor, file_path, slot, hooks);
    host.ShowStatus(DownloadResultText(r));
}

void OnJump(IDialogHost& host) {
    CHostTransactor transactor(host);
    const OpResult r = JumpOp(transactor, SelectedSlot(host.View()));
    if (const char* text = JumpResultText(r))
        host.ShowStatus(text);
}
