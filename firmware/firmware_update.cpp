#include "firmware/firmware_update.h"

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>

#include "device/identity_handlers.h"
#include "dialog/dialog_host.h"
#include "dialog/error_text.h"
#include "firmware/prg_folder.h"
#include "firmware/progress_bar.h"
#include "link/device_link.h"
#include "ops/firmware_ops.h"
#include "res/resource.h"
#include "res/status_texts.h"

namespace {

// How long a failed transfer waits for the link to notice a line that went
// away, and how often it looks: the link's receive thread watches an idle line
// and finds a hang-up within milliseconds.
constexpr std::uint32_t kLineGoneNoticeMs = 500;
constexpr std::uint32_t kLineGoneCheckMs = 10;

// The box answered in this run and the link has lost it since (a box or cable
// unplugged: the link reads as closed once its line is gone). A step that
// failed on a dying line may have ended on its time-out just before the
// hang-up: the link's idle watch on the line notices it soon after, so the
// answer waits that long for it.
bool LineWentAway(IDialogHost& host, const OpResult& r) {
    const CDeviceLink* link = host.Link();
    if (!r.answered || link == nullptr)
        return false;
    const auto giveUp =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kLineGoneNoticeMs);
    while (link->IsOpen()) {
        if (std::chrono::steady_clock::now() >= giveUp)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kLineGoneCheckMs));
    }
    return true;
}

bool TransferFailed(const OpResult& r) {
    return r.failedStep == OpStep::UpgradeBegin || r.failedStep == OpStep::UpgradeData ||
           r.failedStep == OpStep::UpgradeCommit;
}

// "wErr=0000; Code=0000; wLen=0000;": the failing request's link word, and the
// result word and length of the last reply that arrived.
std::string TransferFailureText(const OpProgress& e) {
    char text[64];
    std::snprintf(text, sizeof text, "wErr=%04X; Code=%04X; wLen=%04X;",
                  static_cast<unsigned>(e.status), static_cast<unsigned>(e.resultWord),
                  static_cast<unsigned>(e.replyLength));
    return text;
}

std::string LoadFailureText(const OpResult& r, const std::string& path) {
    switch (r.load) {
        case ImageLoad::OpenFailed:
            return kTextUpgradeCannotOpen + path;
        case ImageLoad::NoMemory:
            return kTextUpgradeNoMemory;
        default:
            return kTextUpgradeIncomplete;
    }
}

// Turns the update's events into what the dialog shows.
class CUpgradeView {
public:
    explicit CUpgradeView(IDialogHost& host) : m_host(host) {}

    void On(const OpProgress& e) {
        IDialogView& view = m_host.View();
        switch (e.kind) {
            case OpProgress::Kind::Loading:
                m_host.ShowStatus(kTextUpgradeLoading);
                break;
            case OpProgress::Kind::TransferStart:
                m_bar.emplace(view);
                break;
            case OpProgress::Kind::Sent:
                ShowSent(m_host, *m_bar, kTextUpgradeDownloading, e);
                break;
            case OpProgress::Kind::TransferEnd:
                if (!e.ok)
                    m_host.ShowStatus(TransferFailureText(e));
                m_bar.reset();
                break;
            case OpProgress::Kind::Applying:
                // The box is silent while it applies the package and
                // restarts: the bar shows that the tool is waiting, not stuck.
                m_bar.emplace(view);
                m_bar->SetBusy();
                m_host.ShowStatus(kTextUpgradeUpdating);
                view.SetItemText(IDC_SERIAL, "");
                view.SetItemText(IDC_VERSION, "");
                break;
            case OpProgress::Kind::Identity:
                view.SetItemText(IdentityField(e.command), e.text);
                break;
            case OpProgress::Kind::StepFailed:
                m_host.ShowStatus(ErrorText(e.code));
                break;
            case OpProgress::Kind::ApplyEnd:
                if (e.ok)
                    m_host.ShowStatus(kTextUpgradeDone);
                m_bar.reset();
                break;
        }
    }

private:
    IDialogHost& m_host;
    std::optional<CTransferProgress> m_bar;
};

OpResult RunAndShow(IDialogHost& host, const std::string& packagePath,
                    const UpgradeTiming& timing) {
    CUpgradeView shown(host);
    OpHooks hooks;
    hooks.progress = [&shown](const OpProgress& e) { shown.On(e); };
    OpResult r = UpdateFirmware(host, packagePath, timing, hooks);
    if (r.failedStep == OpStep::Load)
        host.ShowStatus(LoadFailureText(r, packagePath));
    // The failure's own text says only which step failed; an operator who
    // unplugged the box must learn that the update is not done.
    if (TransferFailed(r) && LineWentAway(host, r))
        host.ShowStatus(kTextUpgradeLineGone);
    // Success is the whole sequence without a failed step, the last the
    // factory reset.
    r.ok = r.ok && r.laterFailureCodes.empty();
    return r;
}

}  // namespace

namespace {
// The package path: the file the package list's field names, the selected
// entry or else the text typed there (never an entry the field no longer
// shows).
std::string SelectedPackagePath(IDialogView& view) {
    const int sel = view.ComboGetCurSel(IDC_PACKAGE_LIST);
    return PackagePathForEntry(sel >= 0 ? view.ComboGetText(IDC_PACKAGE_LIST, sel)
                                        : view.GetItemText(IDC_PACKAGE_LIST));
}
}  // namespace

OpResult RunUpgrade(IDialogHost& host, const UpgradeTiming& timing) {
    return RunAndShow(host, SelectedPackagePath(host.View()), timing);
}

OpResult RunUpgradeFromPath(IDialogHost& host, const std::string& packagePath,
                            const UpgradeTiming& timing) {
    return RunAndShow(host, packagePath, timing);
}
