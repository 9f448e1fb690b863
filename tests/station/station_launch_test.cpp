// Opening a station for either front end: which step refuses (so each front
// end words it its way), that nothing after a refusal is touched, and what
// the setup fills in when the request leaves it out.

#include "station/release/station_launch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <variant>

#include "res/version.h"
#include "station/engine/station_store.h"
#include "tests/station/release_line.h"
#include "tests/support/working_dir_scope.h"

namespace {

class StationLaunchTest : public ::testing::Test {
protected:
    // A request for `file` with the line's empty trust folder, so a trust
    // folder of the machine's own is never read.
    StationLaunchRequest RequestFor(const std::string& file) const {
        StationLaunchRequest request;
        request.file = file;
        request.trustFolder = m_line.TrustFolder();
        return request;
    }

    static StationLaunchResult Launch(const StationLaunchRequest& request) {
        return LaunchStation(request, std::chrono::system_clock::now());
    }

    CReleaseLine m_line;
};

TEST_F(StationLaunchTest, EachRefusalSaysItsStepAndExitsAsBadInput) {
    struct Case {
        const char* what;
        std::function<void(CReleaseLine&, StationLaunchRequest&)> arrange;
        LaunchStep step;
        const char* says;
    };
    const Case cases[] = {
        {"a recipe that is not there",
         [](CReleaseLine& line, StationLaunchRequest& r) { r.file = line.Line("gone.toml"); },
         LaunchStep::Source, "gone.toml"},
        {"a trust folder named but missing",
         [](CReleaseLine& line, StationLaunchRequest& r) { r.trustFolder = line.Line("keys"); },
         LaunchStep::Source, "keys"},
        {"a plain recipe while the trust folder holds a key",
         [](CReleaseLine& line, StationLaunchRequest&) { line.TrustTheKey(); }, LaunchStep::Source,
         "a plain recipe"},
        {"a slots file that is not there",
         [](CReleaseLine& line, StationLaunchRequest& r) { r.slotsFile = line.Line("slots.toml"); },
         LaunchStep::Slots, "slots.toml"},
        {"a slot option without its port",
         [](CReleaseLine&, StationLaunchRequest& r) {
             r.slotOptions = {"A=COM3", "B"};
         },
         LaunchStep::Slots, "bad slot 'B'"},
        {"two slots of one name",
         [](CReleaseLine&, StationLaunchRequest& r) {
             r.slotOptions = {"A=COM3", "A=COM4"};
         },
         LaunchStep::Slots, "slot 2 (A)"},
        {"a damaged store",
         [](CReleaseLine& line, StationLaunchRequest&) {
             WriteTextFile(line.StorePath(), std::string(4096, 'x'));
         },
         LaunchStep::Store, "records.db"},
        {"a station name that turns the text around it",
         [](CReleaseLine&, StationLaunchRequest& r) { r.stationName = "east\u202E2"; },
         LaunchStep::Source,
         "--station: must hold no invisible or direction-changing character (U+202E)"},
        {"an operator name with a line break",
         [](CReleaseLine&, StationLaunchRequest& r) { r.operatorName = "li\nwang"; },
         LaunchStep::Source, "--operator: must hold no control character"},
        {"an older release than one that passed",
         [](CReleaseLine& line, StationLaunchRequest& r) {
             r.file = line.Bundle("c.vbundle", "V-C3", 7);
             line.SeedPass("V-C3", 8);
         },
         LaunchStep::Rollback, "older than release 8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CReleaseLine line;
        StationLaunchRequest request;
        request.file = line.Recipe("a.toml", "V-A1");
        request.trustFolder = line.TrustFolder();
        c.arrange(line, request);
        const StationLaunchResult result = Launch(request);
        const auto* refusal = std::get_if<LaunchRefusal>(&result);
        ASSERT_NE(refusal, nullptr);
        EXPECT_EQ(refusal->step, c.step);
        EXPECT_EQ(refusal->exitStatus, 2);
        EXPECT_NE(refusal->message.find(c.says), std::string::npos) << refusal->message;
        // Refused before the store: no store file was made for it.
        if (c.step == LaunchStep::Source || c.step == LaunchStep::Slots) {
            EXPECT_FALSE(std::filesystem::exists(line.StorePath()));
        }
    }
}

// The window gives a relative file and no names; the command line may give
// names and slots. Either way the station knows where to look a scan up and
// where its reports go.
TEST_F(StationLaunchTest, FillsWhatTheRequestLeavesOut) {
    m_line.Recipe("a.toml", "V-A1");
    CWorkingDirScope inLine(m_line.Folder());
    StationLaunchResult result = Launch(RequestFor("a.toml"));
    auto* setup = std::get_if<StationSetup>(&result);
    ASSERT_NE(setup, nullptr) << std::get<LaunchRefusal>(result).message;
    EXPECT_EQ(setup->source.recipe.variant, "V-A1");
    EXPECT_TRUE(setup->fixtureSlots.empty());
    ASSERT_NE(setup->store, nullptr);
    EXPECT_EQ(setup->lookup.folder, m_line.Folder());
    EXPECT_TRUE(setup->lookup.trust.folderGiven);
    EXPECT_EQ(setup->storeFolder, m_line.Folder());
    EXPECT_EQ(setup->options.station, DefaultStationName());
    EXPECT_EQ(setup->options.operatorName, DefaultOperatorName());
    EXPECT_EQ(setup->options.toolVersion, kToolVersionText);
    EXPECT_FALSE(setup->options.release);

    StationLaunchRequest named = RequestFor("a.toml");
    named.stationName = "line-7";
    named.operatorName = "wei";
    named.slotOptions = {"B=COM4", "A=COM3"};
    result = Launch(named);
    setup = std::get_if<StationSetup>(&result);
    ASSERT_NE(setup, nullptr) << std::get<LaunchRefusal>(result).message;
    EXPECT_EQ(setup->options.station, "line-7");
    EXPECT_EQ(setup->options.operatorName, "wei");
    ASSERT_EQ(setup->fixtureSlots.size(), 2u);
    EXPECT_EQ(setup->fixtureSlots[0].name, "B");
    EXPECT_EQ(setup->fixtureSlots[1].port, "COM3");
}

// An allowed rollback is marked in the release the records take, not only
// in the source.
TEST_F(StationLaunchTest, AnAllowedRollbackIsMarkedForTheRecords) {
    StationLaunchRequest request = RequestFor(m_line.Bundle("c.vbundle", "V-C3", 7));
    m_line.SeedPass("V-C3", 8);
    request.allowRollback = true;
    const StationLaunchResult result = Launch(request);
    const auto* setup = std::get_if<StationSetup>(&result);
    ASSERT_NE(setup, nullptr) << std::get<LaunchRefusal>(result).message;
    ASSERT_TRUE(setup->options.release);
    EXPECT_EQ(setup->options.release->number, 7);
    EXPECT_TRUE(setup->options.release->rollback);
    EXPECT_TRUE(setup->lookup.allowRollback);
}

}  // namespace
