#pragma once
// File download and application jump, the two handlers of the load slots:
// the download (ops/download_ops.h) of the file named in the target-file
// field to the selected slot, with its progress on the status line and the
// bar, and the jump to that slot. Only the link's status word is judged; the
// box's result word is not. Both run on the caller's thread and block it
// until they end. Each returns its outcome; a slot field that names no slot
// fails it at the Input step, with nothing sent.

#include "ops/op_result.h"

class IDialogHost;

OpResult OnSendFile(IDialogHost& host);
OpResult OnJump(IDialogHost& host);
