// The barcode switch: what the lookup of a scanned variant finds among the
// line's recipes and bundles, and what the station then does with it given
// its slots.

#include "station/release/scan_decision.h"

#include <gtest/gtest.h>

#include "tests/station/release_line.h"

namespace {

TEST(DecideScan, ByWhatWasFoundAndTheSlots) {
    const ScanSlotsState idle{};
    const ScanSlotsState running{.unitRunning = true};
    const ScanSlotsState stopping{.stopping = true, .unitRunning = true};
    const ScanSlotsState closing{.closing = true};
    struct Case {
        ScanFound found;
        ScanSlotsState slots;
        ScanDecision decision;
    };
    const Case cases[] = {
        {ScanFound::Other, idle, ScanDecision::Switch},
        {ScanFound::Other, running, ScanDecision::AskThenSwitch},
        {ScanFound::Other, stopping, ScanDecision::Ignore},
        {ScanFound::Other, closing, ScanDecision::Ignore},
        // Only a switch asks: a running unit is left alone otherwise.
        {ScanFound::None, running, ScanDecision::SayNotFound},
        {ScanFound::Running, running, ScanDecision::SaySameRecipe},
        {ScanFound::RollbackRefused, running, ScanDecision::SayRollback},
        {ScanFound::None, stopping, ScanDecision::Ignore},
        {ScanFound::RollbackRefused, closing, ScanDecision::Ignore},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(&c - cases));
        EXPECT_EQ(DecideScan(c.found, c.slots), c.decision);
    }
}

class LookUpScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_line.Recipe("a.toml", "V-A1");
        m_line.Recipe("b.toml", "V-B2");
        m_line.Bundle("c.vbundle", "V-C3", 7);
        m_line.SeedPass("V-C3", 8);
        std::string error;
        m_store =
            OpenRecordStore("sqlite:" + m_line.StorePath(), m_line.Line(kDefaultQueueFile), error);
        ASSERT_TRUE(m_store) << error;
        m_lookup.folder = m_line.Folder();
        m_lookup.trust = {m_line.TrustFolder(), true};
    }

    RunningSource Opened(const std::string& name) {
        StationSource source;
        std::string error;
        EXPECT_TRUE(OpenStationSource(m_line.Line(name), m_lookup.trust,
                                      std::chrono::system_clock::now(), source, error))
            << error;
        return RunningSourceOf(source);
    }

    ScanAnswer LookUp(const std::string& variant, const RunningSource& running) {
        return LookUpScan(m_lookup, *m_store, variant, running, std::chrono::system_clock::now());
    }

    CReleaseLine m_line;
    std::unique_ptr<IRecordStore> m_store;
    SourceLookup m_lookup;
};

TEST_F(LookUpScanTest, FindsAnotherSourceTheRunningOneOrNone) {
    const RunningSource a = Opened("a.toml");
    ScanAnswer answer = LookUp("V-B2", a);
    EXPECT_EQ(answer.found, ScanFound::Other);
    ASSERT_NE(answer.next, nullptr);
    EXPECT_EQ(answer.next->recipe.variant, "V-B2");

    answer = LookUp("V-A1", a);
    EXPECT_EQ(answer.found, ScanFound::Running);

    answer = LookUp("NOPE-1", a);
    EXPECT_EQ(answer.found, ScanFound::None);
    EXPECT_EQ(answer.next, nullptr);
    EXPECT_NE(answer.error.find("NOPE-1"), std::string::npos) << answer.error;
}

// The bundle's recipe is the running one only from the very same bundle: the
// same recipe in a bundle (a new release of it) is a switch, and checked.
TEST_F(LookUpScanTest, TheSameRecipeFromAnotherBundleIsASwitchAndItsReleaseIsChecked) {
    const RunningSource bundle = Opened("c.vbundle");
    EXPECT_EQ(LookUp("V-C3", bundle).found, ScanFound::Running);

    const RunningSource plainOfSameRecipe{bundle.recipeSha256, ""};
    ScanAnswer answer = LookUp("V-C3", plainOfSameRecipe);
    EXPECT_EQ(answer.found, ScanFound::RollbackRefused);
    EXPECT_NE(answer.error.find("older than release 8"), std::string::npos) << answer.error;

    m_lookup.allowRollback = true;
    answer = LookUp("V-C3", plainOfSameRecipe);
    EXPECT_EQ(answer.found, ScanFound::Other);
    ASSERT_NE(answer.next, nullptr);
    ASSERT_TRUE(answer.next->release);
    EXPECT_TRUE(answer.next->release->rollback);
}

}  // namespace
