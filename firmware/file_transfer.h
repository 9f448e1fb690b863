#pragma once
// File download and application jump, the two handlers of the load slots.
//
// The download reads the file named in the target-file field whole, hashes it
// with SHA-1, sends the information block (load address, length, digest) to
// the selected slot's load address and then the file in packets of up to 256
// bytes right behind it. Only the link's status word is judged; the box's
// result word is not. Both run on the caller's thread and block it until they
// end.

class IDialogHost;

void OnSendFile(IDialogHost& host);
void OnJump(IDialogHost& host);
