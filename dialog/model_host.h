#pragma once
// CModelHost: an IDialogHost made of a dialog model and a link, with shared
// ownership of the model. The main dialog is one; work that may outlive the
// window (the firmware update worker) holds one of its own instead of the
// dialog, sharing the dialog's model.

#include <memory>

#include "dialog/dialog_host.h"
#include "dialog/dialog_model.h"

class CModelHost : public IDialogHost {
public:
    CModelHost(std::shared_ptr<CDialogModel> model, CDeviceLink* link);

    IDialogView& View() override { return *m_model; }
    void ShowStatus(const std::string& text) override;
    // Forwards to the link unchanged.
    LinkReply Transact(const LinkRequest& request) override;
    CDeviceLink* Link() override { return m_pLink; }

protected:
    std::shared_ptr<CDialogModel> m_model;
    CDeviceLink* m_pLink;
};
