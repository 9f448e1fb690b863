#pragma once
// CModelHost: an IDialogHost made of a dialog model and a link, with shared
// ownership of the model. The main dialog is one; work that may outlive the
// window (the firmware update worker) holds one of its own instead of the
// dialog, sharing the model and the outcome of the dialog's host.

#include <memory>
#include <mutex>
#include <optional>

#include "dialog/dialog_host.h"
#include "dialog/dialog_model.h"

// The outcome the last handler recorded; its lock lets a worker record while
// another thread reads.
class CHandlerOutcome {
public:
    void Set(const OpResult& outcome);
    void Clear();
    std::optional<OpResult> Get() const;

private:
    mutable std::mutex m_mutex;
    std::optional<OpResult> m_outcome;
};

class CModelHost : public IDialogHost {
public:
    CModelHost(std::shared_ptr<CDialogModel> model, CDeviceLink* link,
               std::shared_ptr<CHandlerOutcome> outcome = std::make_shared<CHandlerOutcome>());

    IDialogView& View() override { return *m_model; }
    void ShowStatus(const std::string& text) override;
    // Forwards to the link unchanged.
    LinkReply Transact(const LinkRequest& request) override;
    CDeviceLink* Link() override { return m_pLink; }
    void RecordOutcome(const OpResult& outcome) override { m_outcome->Set(outcome); }
    // What the last handler recorded; none when it recorded nothing.
    std::optional<OpResult> LastOutcome() const { return m_outcome->Get(); }

protected:
    std::shared_ptr<CDialogModel> m_model;
    CDeviceLink* m_pLink;
    std::shared_ptr<CHandlerOutcome> m_outcome;
};
