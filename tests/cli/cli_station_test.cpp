// vornak-cli station: the result line, the JSON events, the exit status and
// the records store beside the recipe.

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>

#include "cli_fixture.h"
#include "layouts/option_table.h"
#include "link/command_codes.h"
#include "res/store_texts.h"

namespace {

// The box already reports this version, so no unit here waits out the
// update's real pauses.
const std::string kRecipe =
    "name = \"Door module\"\n"
    "variant = \"V-A1\"\n"
    "[firmware]\n"
    "package = \"fw.pkg\"\n"
    "version = \"" +
    std::string(kBoxVersion) +
    "\"\n"
    "[settings]\n"
    "activePke = true\n"
    "[[download]]\n"
    "file = \"app.bin\"\n"
    "slot = 2\n";

class CliStationTest : public CliTest {
protected:
    void SetUp() override {
        CliTest::SetUp();
        WriteFile(InWork("fw.pkg"), MakeSamplePackage(kBoxVersion, 300));
        WriteFile(InWork("app.bin"), Bytes(400, 0x42));
        WriteText(InWork("line.toml"), kRecipe);
    }

    CliResult Station(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"station", "line.toml", "--once", "--port",
                                         std::to_string(kBoxPort)};
        args.insert(args.end(), extra.begin(), extra.end());
        return Cli(args);
    }
};

TEST_F(CliStationTest, PassPrintsOneLineAndKeepsTheRecordBesideTheRecipe) {
    const CliResult r = Station();
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(std::regex_match(r.out, std::regex("PASS 1234AB005E01 V-A1 [0-9]+\\.[0-9]\n")))
        << r.out;
    EXPECT_TRUE(std::filesystem::exists(InWork("records.db")));
    EXPECT_TRUE(m_box.Slot(2).sha1Matches);

    // The same serial again is refused without touching the box, unless rework.
    m_box.ClearRequests();
    const CliResult again = Station();
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(again.out, "FAIL 1234AB005E01 interlock ALREADY_PASSED\n");
    const CliResult rework = Station({"--rework"});
    EXPECT_EQ(rework.exitCode, 0) << rework.err;
    EXPECT_TRUE(rework.out.starts_with("PASS ")) << rework.out;
}

// kill -9 at any moment of a unit, the commit included: a PASS the station
// printed always has its record, and the store holds no half record (every
// row reads back as a record).
TEST_F(CliStationTest, KilledAtAnyMomentNoPassIsPrintedWithoutItsRecord) {
    const auto passesStored = [this] {
        const CliResult list =
            Cli({"records", "list", "--db", "sqlite:records.db", "--result", "pass"});
        EXPECT_EQ(list.exitCode, 0) << list.err;
        return static_cast<std::size_t>(std::count(list.out.begin(), list.out.end(), '\n'));
    };
    using std::chrono::microseconds;
    std::size_t printed = 0;
    // One run killed `after` its start; whether it printed its PASS.
    const auto killedRun = [&](microseconds after) {
        SCOPED_TRACE(after.count());
        CliRun run = Options();
        run.interruptAfter = std::chrono::duration_cast<std::chrono::milliseconds>(after);
        run.interruptSignal = SIGKILL;
        const CliResult r =
            Cli({"station", "line.toml", "--once", "--rework", "--port", std::to_string(kBoxPort)},
                run);
        const bool passed = r.out.starts_with("PASS ");
        printed += passed ? 1 : 0;
        EXPECT_GE(passesStored(), printed) << r.out;
        return passed;
    };
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(Station({"--rework"}).exitCode, 0);
    ++printed;
    const auto unit =
        std::chrono::duration_cast<microseconds>(std::chrono::steady_clock::now() - started);
    // Kills across the whole unit find where the commit falls ...
    constexpr int kCoarse = 20;
    microseconds lastSilent{0};
    microseconds firstPrinted = unit * 2;
    for (int k = 0; k <= kCoarse; ++k) {
        const microseconds at = unit * k / kCoarse;
        if (killedRun(at))
            firstPrinted = std::min(firstPrinted, at);
        else if (at < firstPrinted)
            lastSilent = at;
    }
    // ... and many more land on it.
    constexpr int kFine = 40;
    const microseconds window = firstPrinted - lastSilent;
    for (int k = 0; k <= kFine; ++k)
        killedRun(lastSilent + window * k / kFine);
}

// A record the store could not take (another program held it locked past
// the store's wait) is not lost with the process: the stop names the box
// and where its record waits, exits 1, and the next start stores it before
// its first box.
TEST_F(CliStationTest, ARecordTheStoreRefusedWaitsForTheNextStart) {
    const std::vector<std::string> args = {"station",  "line.toml", "--once",
                                           "--rework", "--port",    std::to_string(kBoxPort)};
    // The first start makes the store and the journal.
    ASSERT_EQ(Station({"--rework"}).exitCode, 0);
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(InWork("records.db").c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    CliRun run = Options();
    run.timeout = std::chrono::seconds(120);
    const CliResult refused = Cli(args, run);
    sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_EQ(refused.exitCode, 1) << refused.err;
    EXPECT_TRUE(refused.out.starts_with("FAIL 1234AB005E01 record RECORD_ERROR")) << refused.out;
    EXPECT_NE(refused.err.find("记录尚未保存:设备 1234AB005E01"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find(InWork("records-journal.jsonl")), std::string::npos) << refused.err;

    const CliResult next = Cli(args);
    EXPECT_EQ(next.exitCode, 0) << next.err;
    EXPECT_EQ(next.err.find("记录尚未保存"), std::string::npos) << next.err;
    const CliResult failed =
        Cli({"records", "list", "--db", "sqlite:records.db", "--result", "fail"});
    EXPECT_NE(failed.out.find("RECORD_ERROR"), std::string::npos) << failed.out;
}

TEST_F(CliStationTest, ReadBackMismatchFailsWithItsStepAndReason) {
    const OptionInfo* pke = FindOptionByField("activePke");
    m_box.SetStoreFault(SimStoreFault{pke->block, static_cast<std::size_t>(pke->byte),
                                      static_cast<std::uint8_t>(1u << pke->bit)});
    const CliResult r = Station();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "FAIL 1234AB005E01 settings VERIFY_MISMATCH\n");
    EXPECT_NE(r.err.find("主动PKE (activePke): 应为 开启, 读回 关闭"), std::string::npos) << r.err;
}

TEST_F(CliStationTest, JsonPrintsOneObjectPerEvent) {
    const CliResult r = Station({"--json"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::istringstream lines(r.out);
    std::vector<std::string> kinds;
    nlohmann::json last;
    for (std::string line; std::getline(lines, line);) {
        last = nlohmann::json::parse(line);
        EXPECT_EQ(last["schema"], 1);
        kinds.push_back(last["event"]);
    }
    ASSERT_GE(kinds.size(), 4u);
    EXPECT_EQ(kinds.front(), "waiting");
    EXPECT_EQ(kinds[1], "unit_start");
    EXPECT_EQ(kinds.back(), "unit_end");
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), "step_start"),
              std::count(kinds.begin(), kinds.end(), "step_end"));
    EXPECT_EQ(last["stored"], true);
    EXPECT_EQ(last["record"]["result"], "pass");
    EXPECT_EQ(last["record"]["serial"], kBoxSerialHex);
    EXPECT_TRUE(last["line"].get<std::string>().starts_with("PASS "));
}

// The single box's port takes every form --port takes for the other commands.
TEST_F(CliStationTest, WatchesThePortByAnyOfItsNames) {
    for (const std::string& port : {m_box.LinkPath(), m_box.SlavePath(), std::string("COM3")}) {
        SCOPED_TRACE(port);
        const CliResult r = Cli({"station", "line.toml", "--once", "--rework", "--port", port});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(r.out.starts_with("PASS ")) << r.out;
    }
    // No adapter has this identity: the station waits through several
    // probes, says why once, and Ctrl-C ends it.
    CliRun run = Options();
    run.interruptAfter = std::chrono::milliseconds(1500);
    const CliResult usb = Cli({"station", "line.toml", "--usb", "0403:6001"}, run);
    EXPECT_EQ(usb.exitCode, 0) << usb.err;
    EXPECT_EQ(usb.out, "");
    const std::size_t said = usb.err.find("no USB adapter 0403:6001");
    ASSERT_NE(said, std::string::npos) << usb.err;
    EXPECT_EQ(usb.err.find("no USB adapter", said + 1), std::string::npos) << usb.err;
}

// A reply with a bad checksum makes the link say "ABC": on stderr, so the
// result line and every JSON line stay whole.
TEST_F(CliStationTest, ChecksumDiagnosticStaysOffStdout) {
    for (const std::vector<std::string>& extra :
         {std::vector<std::string>{"--rework"}, std::vector<std::string>{"--rework", "--json"}}) {
        SCOPED_TRACE(extra.size());
        SimOverride corrupt;
        corrupt.badChecksum = true;
        corrupt.times = 1;
        m_box.SetOverride(CMD_CONFIG_READ_1, corrupt);
        const CliResult r = Station(extra);
        EXPECT_NE(r.err.find("ABC"), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("ABC"), std::string::npos) << r.out;
        std::istringstream lines(r.out);
        std::size_t count = 0;
        for (std::string line; std::getline(lines, line); ++count) {
            if (extra.size() == 2)
                EXPECT_TRUE(nlohmann::json::accept(line)) << line;
            else
                EXPECT_TRUE(line.starts_with("PASS ") || line.starts_with("FAIL ")) << line;
        }
        EXPECT_GT(count, 0u);
    }
}

TEST_F(CliStationTest, BadRecipeIsRefusedBeforeAnyBoxIsTouched) {
    WriteText(InWork("bad.toml"), "name = \"n\"\nvariant = \"v\"\n[settings]\ncrankTime = 99\n");
    const CliResult r = Cli({"station", "bad.toml", "--once"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("bad.toml:4: settings.crankTime: must be an index"), std::string::npos)
        << r.err;
    EXPECT_TRUE(m_box.Requests().empty());
    EXPECT_EQ(Cli({"info", "--once"}).exitCode, 2);
}

// Two slots named on the command line, one box each: a line per slot, led by
// its name, and the slot in every JSON event.
// A server nobody answers for: the unit passes on the local queue, and the
// operator reads that the records wait for the server.
TEST_F(CliStationTest, AServerAwayIsSaidAndTheUnitStillPasses) {
    const CliResult r = Station({"--db", "postgresql://postgres@127.0.0.1:1/vornak"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out.starts_with("PASS ")) << r.out;
    EXPECT_NE(r.err.find(kServerAway), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::exists(InWork("records-queue.db")));
}

TEST_F(CliStationTest, TwoSlotsRunTogetherAndNameTheirLines) {
    CBoxSimulator second;
    ASSERT_TRUE(second.Start(PortDir(), kBoxPort + 1));
    second.SetVersion(kBoxVersion);
    second.SetSerial({0x12, 0x34, 0xAB, 0x00, 0x5E, 0x02});
    const std::vector<std::string> args = {"station",
                                           "line.toml",
                                           "--once",
                                           "--slot",
                                           "A=" + std::to_string(kBoxPort),
                                           "--slot=B=COM" + std::to_string(kBoxPort + 1)};
    const CliResult r = Cli(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::istringstream lines(r.out);
    std::vector<std::string> sorted;
    for (std::string line; std::getline(lines, line);)
        sorted.push_back(line);
    std::sort(sorted.begin(), sorted.end());
    ASSERT_EQ(sorted.size(), 2u) << r.out;
    EXPECT_TRUE(std::regex_match(sorted[0], std::regex("A PASS 1234AB005E01 V-A1 [0-9.]+")))
        << sorted[0];
    EXPECT_TRUE(std::regex_match(sorted[1], std::regex("B PASS 1234AB005E02 V-A1 [0-9.]+")))
        << sorted[1];
    EXPECT_NE(r.err.find("[B] "), std::string::npos) << r.err;

    std::vector<std::string> json = args;
    json.push_back("--json");
    json.push_back("--rework");
    const CliResult j = Cli(json);
    EXPECT_EQ(j.exitCode, 0) << j.err;
    std::istringstream objects(j.out);
    std::set<std::string> ended;
    for (std::string line; std::getline(objects, line);) {
        const nlohmann::json event = nlohmann::json::parse(line);
        EXPECT_TRUE(event["slot"] == "A" || event["slot"] == "B") << line;
        if (event["event"] == "unit_end")
            ended.insert(event["record"]["slot"].get<std::string>() +
                         event["slot"].get<std::string>());
    }
    EXPECT_EQ(ended, (std::set<std::string>{"AA", "BB"}));
    second.Stop();
}

TEST_F(CliStationTest, SlotOptionsAreCheckedBeforeAnyBoxIsTouched) {
    WriteText(InWork("slots.toml"), "[[slot]]\nname = \"A\"\nport = \"3\"\nbad = 1\n");
    const struct {
        std::vector<std::string> args;
        const char* error;
    } cases[] = {
        {{"--slot", "A=3", "--slot", "A=4"}, "slot name 'A' given twice"},
        {{"--slot", "A=3", "--slot", "B=COM3"}, "is already slot 'A''s port"},
        {{"--slot", "A"}, "give NAME=PORT"},
        {{"--slot", "A=3", "--port", "3"}, "option '--port' is for one box"},
        {{"--slot", "A=3", "--usb", "0403:6001"}, "option '--usb' is for one box"},
        {{"--slot", "A=3", "--slots", "slots.toml"}, "not both"},
        {{"--slots", "slots.toml"}, "slots.toml:4: slot[1].bad: unknown key"},
        {{"--slots", "."}, ".: cannot read the file: not a regular file"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"station", "line.toml", "--once"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliResult r = Cli(args);
        EXPECT_EQ(r.exitCode, 2) << c.error;
        EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
    }
    EXPECT_TRUE(m_box.Requests().empty());
    const CliResult send = Cli({"send", "app.bin", "--slot", "1", "--slot", "2"});
    EXPECT_EQ(send.exitCode, 2);
    EXPECT_NE(send.err.find("'--slot' given twice"), std::string::npos) << send.err;
}

}  // namespace

// recipe check: the station's checks, then what the recipe gives every box;
// its settings digest is the one a passing unit records.
TEST_F(CliStationTest, RecipeCheckPrintsWhatEveryBoxGets) {
    const CliResult check = Cli({"recipe", "check", "line.toml"});
    ASSERT_EQ(check.exitCode, 0) << check.err;
    EXPECT_EQ(check.err, "");
    for (const char* part :
         {"variant: V-A1\n", "settings_base: factory\n", "setting: 主动PKE (activePke): 开启\n",
          "setting: 启动点火时间 (crankTime): 0.7秒\n", " slot 2 sha256 "})
        EXPECT_NE(check.out.find(part), std::string::npos) << part << "\n" << check.out;
    EXPECT_EQ(std::count(check.out.begin(), check.out.end(), '\n'),
              std::ptrdiff_t{4 + 1 + 1 + 1 + kOptionCount + 1});
    const std::regex digestLine("settings_sha256: ([0-9a-f]{64})\n");
    std::smatch digest;
    ASSERT_TRUE(std::regex_search(check.out, digest, digestLine)) << check.out;

    const CliResult json = Cli({"recipe", "check", "line.toml", "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const nlohmann::json j = nlohmann::json::parse(json.out);
    EXPECT_EQ(j["settings"].size(), static_cast<std::size_t>(kOptionCount));
    EXPECT_EQ(j["settings_sha256"], digest[1].str());
    EXPECT_EQ(j["downloads"][0]["slot"], 2);

    // The box holds other settings than the factory's; the unit leaves the
    // recipe's configuration all the same.
    const CliResult unit = Station({"--json"});
    ASSERT_EQ(unit.exitCode, 0) << unit.err;
    const std::string trimmed = unit.out.substr(0, unit.out.find_last_not_of('\n') + 1);
    const std::string last = trimmed.substr(trimmed.rfind('\n') + 1);
    EXPECT_EQ(nlohmann::json::parse(last)["record"]["settings_after_sha256"], digest[1].str());
}

TEST_F(CliStationTest, RecipeCheckRefusesABadRecipe) {
    WriteText(InWork("bad.toml"), "name = \"n\"\nvariant = \"v\"\n[settings]\nbase = \"old\"\n");
    struct Case {
        std::vector<std::string> args;
        const char* err;
    };
    const Case cases[] = {
        {{"recipe", "check", "bad.toml"}, "bad.toml:4: settings.base: must be"},
        {{"recipe", "check", "missing.toml"}, "missing.toml"},
        {{"recipe", "check"}, "recipe needs: check RECIPE"},
        {{"recipe", "check", "line.toml", "--port", "3"}, "--port"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.err);
        const CliResult r = Cli(c.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
}
