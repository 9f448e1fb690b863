#include "dialog/model_host.h"

#include <utility>

#include "link/device_link.h"
#include "res/resource.h"

CModelHost::CModelHost(std::shared_ptr<CDialogModel> model, CDeviceLink* link)
    : m_model(std::move(model)), m_pLink(link) {}

void CModelHost::ShowStatus(const std::string& text) {
    m_model->SetItemText(IDC_STATUS, text);
}

LinkReply CModelHost::Transact(const LinkRequest& request) {
    return m_pLink->Transact(request);
}
