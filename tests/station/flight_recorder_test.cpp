#include "station/engine/flight_recorder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The ring keeps the newest frames, oldest first, with their direction, and
// cuts an over-long write.
TEST(FlightRecorderTest, KeepsTheLastFramesOldestFirst) {
    CFlightRecorder recorder;
    for (int i = 0; i < 70; ++i) {
        const std::uint8_t bytes[2] = {0xAA, static_cast<std::uint8_t>(i)};
        recorder.Record(i % 2 == 0, bytes, sizeof bytes);
    }
    const std::vector<std::string> frames = recorder.Snapshot();
    ASSERT_EQ(frames.size(), CFlightRecorder::kFrames);
    EXPECT_EQ(frames.front(), "tx AA06");
    EXPECT_EQ(frames.back(), "rx AA45");

    recorder.Clear();
    EXPECT_TRUE(recorder.Snapshot().empty());
    const std::vector<std::uint8_t> big(1000, 0x01);
    recorder.Record(true, big.data(), big.size());
    ASSERT_EQ(recorder.Snapshot().size(), 1u);
    EXPECT_EQ(recorder.Snapshot().front().size(), 3 + 2 * CFlightRecorder::kMaxFrameBytes);
}

}  // namespace
