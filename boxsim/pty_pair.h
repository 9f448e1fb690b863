#pragma once
// A pseudo-terminal for the simulated box: the master side is the box's end
// of the cable, the slave side is the serial device the tool opens.

#include <string>

struct PtyPair {
    int master = -1;  // non-blocking
    int slave = -1;   // kept open so the line never hangs up when the tool closes it
    std::string slavePath;
};

// Opens a pair with the slave in raw mode at once, so nothing the tool writes
// before it sets its own mode is echoed or line-edited. Returns false (with
// nothing left open) on any failure.
bool OpenRawPty(PtyPair& pty);

// Bytes waiting in the slave side's input queue: what the tool has not read.
int PendingSlaveInput(const PtyPair& pty);

void ClosePty(PtyPair& pty);
