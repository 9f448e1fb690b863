#include "device/identity_handlers.h"

#include <cstdio>

#include "dialog/error_text.h"
#include "link/command_codes.h"
#include "link/device_link.h"
#include "ops/identity_op.h"
#include "res/resource.h"
#include "res/status_texts.h"

namespace {
constexpr char kBaudText[] = "115200bps";

// Reads and shows the version.
IdentityRead ReadAndShowVersion(IDialogHost& host) {
    IdentityRead read = ReadIdentity(host, CMD_GET_VERSION, TIMEOUT_DEFAULT_MS);
    ShowIdentity(host, CMD_GET_VERSION, read.result, read.text);
    return read;
}

// Reads and shows the serial after the version read `version`: no other
// reply (the version's, late) is shown as the serial.
OpResult ReadAndShowSerial(IDialogHost& host, const IdentityRead& version) {
    const IdentityRead read = ReadSerialAfter(host, version, TIMEOUT_DEFAULT_MS);
    ShowIdentity(host, CMD_GET_SERIAL, read.result, read.text);
    return read.result;
}
}  // namespace

int IdentityField(std::uint16_t command) {
    return command == CMD_GET_VERSION ? IDC_VERSION : IDC_SERIAL;
}

void ShowIdentity(IDialogHost& host, std::uint16_t command, const OpResult& result,
                  const std::string& text) {
    if (!result.ok) {
        host.ShowStatus(ErrorText(result.failureCode));
        return;
    }
    host.View().SetItemText(IdentityField(command), text);
}

OpResult Connect(IDialogHost& host) {
    CDeviceLink* link = host.Link();
    std::uint8_t bComNum = 0;
    bool scanned = false;
    if (!link->IsOpen()) {
        link->ScanPorts(&bComNum);
        scanned = true;
    }
    const IdentityRead version = ReadAndShowVersion(host);
    const OpResult serial = ReadAndShowSerial(host, version);
    if (!serial.ok)
        return serial;

    // When this click ran no scan of its own, or its scan found nothing and a
    // read's own scan found the box, the port in use is the link's.
    if (!scanned || bComNum == 0)
        bComNum = link->ConnectedPortNumber();
    char strCom[16];
    std::snprintf(strCom, sizeof strCom, "COM%d", bComNum);
    host.View().SetItemText(IDC_PORT_NAME, strCom);
    host.View().SetItemText(IDC_BAUD_RATE, kBaudText);
    host.ShowStatus(kTextConnected);
    return serial;
}

StatusWord Disconnect(IDialogHost& host) {
    return host.Link()->Disconnect();
}

OpResult OnBnClickedGetDeviceInfo(IDialogHost& host) {
    const IdentityRead version = ReadAndShowVersion(host);
    const OpResult serial = ReadAndShowSerial(host, version);
    return version.result.ok ? serial : version.result;
}

void OnStnClickedVersionLabel(IDialogHost& host) {
    host.View().SetItemText(IDC_VERSION, "");
}

void OnStnClickedSerialLabel(IDialogHost& host) {
    host.View().SetItemText(IDC_SERIAL, "");
}
