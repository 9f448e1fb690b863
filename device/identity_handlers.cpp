#include "device/identity_handlers.h"

#include <cstdio>

#include "dialog/host_transactor.h"
#include "dialog/step.h"
#include "link/command_codes.h"
#include "link/device_link.h"
#include "ops/identity_op.h"
#include "res/resource.h"
#include "res/status_texts.h"

namespace {
constexpr char kBaudText[] = "115200bps";
}  // namespace

bool ReadIdentity(IDialogHost& host, std::uint16_t command, int fieldId,
                  std::uint32_t firstByteTimeoutMs) {
    CHostTransactor transactor(host);
    const IdentityResult r = command == CMD_GET_VERSION
                                 ? ReadVersionOp(transactor, firstByteTimeoutMs)
                                 : ReadSerialOp(transactor, firstByteTimeoutMs);
    if (!r.result.ok) {
        host.ShowStatus(ErrorText(r.result.status != ST_OK ? r.result.status : r.result.resultWord));
        return false;
    }
    host.View().SetItemText(fieldId, r.text);
    return true;
}

void Connect(IDialogHost& host) {
    CDeviceLink* link = host.Link();
    std::uint8_t bComNum = 0;
    bool scanned = false;
    if (!link->IsOpen()) {
        link->ScanPorts(&bComNum);
        scanned = true;
    }
    ReadIdentity(host, CMD_GET_VERSION, IDC_VERSION, TIMEOUT_DEFAULT_MS);
    if (!ReadIdentity(host, CMD_GET_SERIAL, IDC_SERIAL, TIMEOUT_DEFAULT_MS))
        return;

    // When this click ran no scan of its own, or its scan found nothing and a
    // read's own scan found the box, the port in use is the link's.
    if (!scanned || bComNum == 0)
        bComNum = link->ConnectedPortNumber();
    char strCom[16];
    std::snprintf(strCom, sizeof strCom, "COM%d", bComNum);
    host.View().SetItemText(IDC_PORT_NAME, strCom);
    host.View().SetItemText(IDC_BAUD_RATE, kBaudText);
    host.ShowStatus(kTextConnected);
}

StatusWord Disconnect(IDialogHost& host) {
    return host.Link()->Disconnect();
}

void OnBnClickedGetDeviceInfo(IDialogHost& host) {
    ReadIdentity(host, CMD_GET_VERSION, IDC_VERSION, TIMEOUT_DEFAULT_MS);
    ReadIdentity(host, CMD_GET_SERIAL, IDC_SERIAL, TIMEOUT_DEFAULT_MS);
}

void OnStnClickedVersionLabel(IDialogHost& host) {
    host.View().SetItemText(IDC_VERSION, "");
}

void OnStnClickedSerialLabel(IDialogHost& host) {
    host.View().SetItemText(IDC_SERIAL, "");
}
