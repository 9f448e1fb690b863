#include "device/identity_handlers.h"

#include <cstdio>

#include "dialog/step.h"
#include "link/bytes_text.h"
#include "link/command_codes.h"
#include "link/device_link.h"
#include "res/resource.h"
#include "res/status_texts.h"

namespace {
constexpr char kBaudText[] = "115200bps";
// Identity data follows the result word and two bytes the tool does not use.
constexpr std::uint32_t kIdentitySkip = 2;
}  // namespace

bool ReadIdentity(IDialogHost& host, std::uint16_t command, int fieldId,
                  std::uint32_t firstByteTimeoutMs) {
    std::uint8_t abRxBuf[kHandlerReplyBufSize] = {};
    const StepResult r =
        RunStep(host, command, SUB_DEFAULT, nullptr, 0, abRxBuf, firstByteTimeoutMs);
    if (!r.ok) {
        host.ShowStatus(ErrorText(r.failureCode));
        return false;
    }
    const std::uint32_t copied = CopiedReplyBytes(r.dwRxLen);
    const std::uint8_t* data = abRxBuf + kIdentitySkip;
    const std::size_t count = copied - kIdentitySkip;
    host.View().SetItemText(
        fieldId, command == CMD_GET_VERSION ? BytesToText(data, count) : BytesToHex(data, count));
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
