#include "dialog/model_host.h"

#include <utility>

#include "link/device_link.h"
#include "res/resource.h"

void CHandlerOutcome::Set(const OpResult& outcome) {
    std::lock_guard lock(m_mutex);
    m_outcome = outcome;
}

void CHandlerOutcome::Clear() {
    std::lock_guard lock(m_mutex);
    m_outcome.reset();
}

std::optional<OpResult> CHandlerOutcome::Get() const {
    std::lock_guard lock(m_mutex);
    return m_outcome;
}

CModelHost::CModelHost(std::shared_ptr<CDialogModel> model, CDeviceLink* link,
                       std::shared_ptr<CHandlerOutcome> outcome)
    : m_model(std::move(model)), m_pLink(link), m_outcome(std::move(outcome)) {}

void CModelHost::ShowStatus(const std::string& text) {
    m_model->SetItemText(IDC_STATUS, text);
}

LinkReply CModelHost::Transact(const LinkRequest& request) {
    return m_pLink->Transact(request);
}
