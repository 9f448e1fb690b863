#include "dialog/model_host.h"

#include <utility>

#include "link/device_link.h"
#include "res/resource.h"

CModelHost::CModelHost(std::shared_ptr<CDialogModel> model, CDeviceLink* link)
    : m_model(std::move(model)), m_pLink(link) {}

void CModelHost::ShowStatus(const std::string& text) {
    m_model->SetItemText(IDC_STATUS, text);
}

StatusWord CModelHost::Transact(std::uint16_t command, std::uint16_t subCode,
                                const std::uint8_t* data, std::uint32_t dataLength,
                                std::uint16_t* resultWord, std::uint8_t* reply,
                                std::uint32_t replyLimit, std::uint32_t* replyLength,
                                std::uint32_t firstByteTimeoutMs) {
    return m_pLink->Transact(command, subCode, data, dataLength, resultWord, reply, replyLimit,
                             replyLength, firstByteTimeoutMs);
}
