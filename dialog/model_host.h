#pragma once
// CModelHost: an IDialogHost made of a dialog model and a link, with shared
// ownership of the model. The main dialog is one; work that may outlive the
// window (the firmware update worker) holds one of its own instead of the
// dialog.

#include <memory>

#include "dialog/dialog_host.h"
#include "dialog/dialog_model.h"

class CModelHost : public IDialogHost {
public:
    CModelHost(std::shared_ptr<CDialogModel> model, CDeviceLink* link);

    IDialogView& View() override { return *m_model; }
    void ShowStatus(const std::string& text) override;
    StatusWord Transact(std::uint16_t command, std::uint16_t subCode, const std::uint8_t* data,
                        std::uint32_t dataLength, std::uint16_t* resultWord, std::uint8_t* reply,
                        std::uint32_t replyLimit, std::uint32_t* replyLength,
                        std::uint32_t firstByteTimeoutMs) override;
    CDeviceLink* Link() override { return m_pLink; }

protected:
    std::shared_ptr<CDialogModel> m_model;
    CDeviceLink* m_pLink;
};
