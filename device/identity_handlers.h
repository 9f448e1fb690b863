#pragma once
// Connecting, disconnecting and reading the box's identity (version text and
// serial number) into the identity fields of the main dialog.

#include <cstdint>
#include <string>

#include "dialog/dialog_host.h"

// The field a read of `command` (CMD_GET_VERSION or CMD_GET_SERIAL) fills.
int IdentityField(std::uint16_t command);
// Shows an identity read's outcome: the text in its field, or on failure the
// error text on the status line (the field keeps its text). A successful read
// writes nothing to the status line.
void ShowIdentity(IDialogHost& host, std::uint16_t command, const OpResult& result,
                  const std::string& text);

// Scans when the port is closed, then reads the identity; the caller brings
// the connect-state look in line with the port afterwards. Each returns its
// outcome: Connect's is the serial read's, the info button's the first
// failed read's, or the serial read's when both succeeded.
OpResult Connect(IDialogHost& host);
StatusWord Disconnect(IDialogHost& host);
OpResult OnBnClickedGetDeviceInfo(IDialogHost& host);
void OnStnClickedVersionLabel(IDialogHost& host);
void OnStnClickedSerialLabel(IDialogHost& host);
