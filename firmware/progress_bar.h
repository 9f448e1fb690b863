#pragma once
// The transfer progress bar: shown while a transfer runs (or, busy, while the
// box applies an update), hidden again when the object goes, so every way out
// hides it.

#include <string>

#include "dialog/dialog_host.h"
#include "dialog/dialog_view.h"
#include "res/resource.h"
#include "res/status_texts.h"

class CTransferProgress {
public:
    explicit CTransferProgress(IDialogView& view) : m_view(view) {
        m_view.ShowItem(IDC_PROGRESS, true);
    }
    ~CTransferProgress() { m_view.ShowItem(IDC_PROGRESS, false); }
    CTransferProgress(const CTransferProgress&) = delete;
    CTransferProgress& operator=(const CTransferProgress&) = delete;

    void Set(long long value, long long total) { m_view.SetProgress(IDC_PROGRESS, value, total); }
    // Work goes on with no count to show (the box restarting).
    void SetBusy() { m_view.SetProgress(IDC_PROGRESS, 0, kProgressBusy); }

private:
    IDialogView& m_view;
};

// A transfer moved on (OpProgress Sent): "<prefix>done/total  ...." on the
// status line, and the bar to match.
inline void ShowSent(IDialogHost& host, CTransferProgress& bar, const char* prefix,
                     const OpProgress& e) {
    host.ShowStatus(prefix + std::to_string(e.done) + "/" + std::to_string(e.total) +
                    kTextProgressTail);
    bar.Set(static_cast<long long>(e.done), static_cast<long long>(e.total));
}
