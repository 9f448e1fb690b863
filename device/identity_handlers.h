#pragma once
// Connecting, disconnecting and reading the box's identity (version text and
// serial number) into the identity fields of the main dialog.

#include <cstdint>

#include "dialog/dialog_host.h"

// One identity read of `command` (CMD_GET_VERSION or CMD_GET_SERIAL) into
// `fieldId` with the given first-byte wait. On failure the status line shows
// the error text and the field keeps its text. A successful read writes
// nothing to the status line.
bool ReadIdentity(IDialogHost& host, std::uint16_t command, int fieldId,
                  std::uint32_t firstByteTimeoutMs);

// Scans when the port is closed, then reads the identity; the caller brings
// the connect-state look in line with the port afterwards.
void Connect(IDialogHost& host);
StatusWord Disconnect(IDialogHost& host);
void OnBnClickedGetDeviceInfo(IDialogHost& host);
void OnStnClickedVersionLabel(IDialogHost& host);
void OnStnClickedSerialLabel(IDialogHost& host);
