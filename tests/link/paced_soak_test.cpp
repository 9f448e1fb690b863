// The paced soak (bench/paced_soak.h) as a test: requests 20 ms apart while
// the simulator sends frames of its own every 2 ms. The protocol cannot tell
// such a frame from the reply when it comes just as a request goes out; every
// one taken for a reply must be caught as a failed read or, for an identity
// read, which has no length to check, stay within a bound.

#include "bench/paced_soak.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/link/link_test_support.h"
#include "tests/link/read_frames.h"

namespace {

using std::chrono::milliseconds;

// Keeps a missing byte from costing the product's 3000 ms.
constexpr LinkTiming kTestTiming{.interByteTimeoutMs = 200};
constexpr int kBoxPort = 4;
// About 5 s of requests 20 ms apart; a quarter of them identity reads.
constexpr int kTransactions = 240;
// A frame of the box's own passes only when it leaves in the tens of
// microseconds between the tool discarding its input and the box reading the
// request: about 0.4% of requests against one frame every 2 ms. A tenth of
// the identity reads (stretched for sanitizer builds) is far above that.
constexpr double kMaxStrayPassedShare = 0.1;

TEST(PacedSoakTest, EveryStrayReplyIsCaughtOrCountedAndBounded) {
    CTempPortDir dir;
    CBoxSimulator box;
    ASSERT_TRUE(box.Start(dir.Path(), kBoxPort));
    CDeviceLink link(kTestTiming);
    std::uint8_t found = 0;
    ASSERT_EQ(link.ScanPorts(&found), ST_OK);
    const CReadFrames read(link);

    const PacedSoakTally t = RunPacedSoak(box, link,
                                          {.transactions = kTransactions,
                                           .pace = milliseconds(20),
                                           .unsolicitedInterval = milliseconds(2)});
    RecordProperty("stray_caught", t.strayCaught);
    RecordProperty("stray_passed", t.strayPassed);
    EXPECT_EQ(t.transactions, kTransactions);
    EXPECT_EQ(t.wrongPassed, 0);
    EXPECT_EQ(t.otherFailures, 0);
    EXPECT_EQ(t.good + t.strayCaught + t.strayPassed, t.transactions);
    const int bound = std::max(1, static_cast<int>(t.identityReads * kMaxStrayPassedShare *
                                                   static_cast<double>(kTimeScale)));
    EXPECT_LE(t.strayPassed, bound);
    // The box's frames were flowing: the receive thread drained the rest. Each
    // transaction (the tally's and the first identity read) reads at most one
    // frame.
    EXPECT_GT(read.Count(), static_cast<std::size_t>(t.transactions) + 1);
    link.Disconnect();
}

}  // namespace
