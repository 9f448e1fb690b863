#pragma once
// The paced soak: requests paced apart while the box sends frames of its own,
// each reply judged the way the tool judges it, and the wrong ones tallied.
// Shared by the link tests (which bound the tally) and the stray-frame
// benchmark (which prints it against a run without the box's own frames).
//
// The protocol has no sequence numbers: a frame the box sends on its own
// between the tool discarding its input and the box reading the request is
// taken for the reply. Configuration reads catch it (ReadConfigBlock in ops/settings_ops.h: a reply
// shorter than the block fails with ST_SHORT_REPLY); an identity reply has no
// length to check, so such a frame passes for one and is counted.
//
// Runs on the caller's thread; the box must be serving and the link connected.

#include <chrono>
#include <cstdint>

#include "boxsim/box_simulator.h"
#include "link/device_link.h"

struct PacedSoakOptions {
    int transactions = 200;
    // Pause between the end of one transaction and the next request.
    std::chrono::milliseconds pace{20};
    // The box's own frames; 0: none (the reference run).
    std::chrono::milliseconds unsolicitedInterval{2};
};

struct PacedSoakTally {
    int transactions = 0;
    int good = 0;           // judged success, and the box's right answer
    int strayCaught = 0;    // a configuration read failed for a short reply
    int strayPassed = 0;    // the box's own frame judged success as an identity reply
    int wrongPassed = 0;    // any other wrong reply judged success: never allowed
    int otherFailures = 0;  // failed for any other reason
    int identityReads = 0;  // transactions that were identity reads
};

// Cycles through the three configuration reads and the serial read. Reads
// the box's blocks and serial first, sets and afterwards clears the box's
// line faults.
PacedSoakTally RunPacedSoak(CBoxSimulator& box, CDeviceLink& link, const PacedSoakOptions& options);
