// vornak-cli records as a process, on a SQLite store the test fills.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "records/record_store.h"
#include "tests/cli/cli_process.h"
#include "tests/records/store_backend.h"
#include "tests/support/inserted.h"

namespace {

UnitRecord Unit(const std::string& id, const std::string& serial, UnitResult result,
                const std::string& startTime) {
    UnitRecord record;
    record.id = id;
    record.serial = serial;
    record.result = result;
    record.startTime = startTime;
    record.variant = "LHD";
    record.station = "east";
    if (result == UnitResult::Pass)
        record.packageSha256 = std::string(64, 'e');
    if (result != UnitResult::Pass) {
        record.failedStep = "settings";
        record.reasonCode = kReasonVerifyMismatch;
        record.reasonText = "central_lock: wanted 2, got 1";
    }
    return record;
}

class RecordsCliTest : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        auto store = OpenRecordStore(m_folder.Path() + "/records.db", "", error);
        ASSERT_TRUE(store) << error;
        for (const UnitRecord& record :
             {Unit("u-1", "S1", UnitResult::Fail, "2026-12-09T10:00:00.000Z"),
              Unit("u-2", "S1", UnitResult::Pass, "2026-12-10T09:00:00.000Z"),
              Unit("u-3", "S2", UnitResult::Aborted, "2026-12-10T11:00:00.000Z")}) {
            ASSERT_TRUE(Inserted(store->Insert(record, false)));
        }
    }

    CliResult Cli(std::vector<std::string> args) {
        args.insert(args.begin(), "records");
        CliRun run;
        run.workDir = m_folder.Path();
        run.env = {"TZ=UTC0"};
        return RunProcess(VORNAK_CLI_PATH, args, run);
    }

    std::string ReadFile(const std::string& name) {
        std::ifstream file(m_folder.Path() + "/" + name, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    CTempDir m_folder{"records"};
};

TEST_F(RecordsCliTest, ListsWithFilters) {
    struct Case {
        std::vector<std::string> args;
        std::string out;
    };
    const Case cases[] = {
        {{"list"},
         "2026-12-10T11:00:00.000Z\taborted\tS2\tLHD\teast\tu-3\tsettings\tVERIFY_MISMATCH\n"
         "2026-12-10T09:00:00.000Z\tpass\tS1\tLHD\teast\tu-2\t-\t-\n"
         "2026-12-09T10:00:00.000Z\tfail\tS1\tLHD\teast\tu-1\tsettings\tVERIFY_MISMATCH\n"},
        {{"list", "--serial", "S1", "--result=pass"},
         "2026-12-10T09:00:00.000Z\tpass\tS1\tLHD\teast\tu-2\t-\t-\n"},
        // A "Z" on the time counts from that instant, not after it.
        {{"list", "--since", "2026-12-10T11:00Z"},
         "2026-12-10T11:00:00.000Z\taborted\tS2\tLHD\teast\tu-3\tsettings\tVERIFY_MISMATCH\n"},
        {{"list", "--serial", "S9"}, ""},
        {{"list", "--db", "sqlite:records.db", "--since", "2026-12-11"}, ""},
        {{"list", "--until", "2026-12-10T11:00", "--station", "east", "--variant", "LHD"},
         "2026-12-10T09:00:00.000Z\tpass\tS1\tLHD\teast\tu-2\t-\t-\n"
         "2026-12-09T10:00:00.000Z\tfail\tS1\tLHD\teast\tu-1\tsettings\tVERIFY_MISMATCH\n"},
        {{"list", "--version", "V2.3.1"}, ""},
        // A digest in capitals finds the records' lower-case one.
        {{"list", "--package-sha256", std::string(64, 'E')},
         "2026-12-10T09:00:00.000Z\tpass\tS1\tLHD\teast\tu-2\t-\t-\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const CliResult r = Cli(c.args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, c.out);
    }
}

// The gate before a unit leaves the line: the serial's last run decides.
TEST_F(RecordsCliTest, GateLetsThroughOnlyASerialWhoseLastRunPassed) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* line;  // start of stdout
    };
    const Case cases[] = {
        {{"gate", "S1"}, 0, "PASSED S1 pass LHD 2026-12-10T09:00:00.000Z\n"},
        {{"gate", "S1", "--variant", "LHD"}, 0, "PASSED S1 (LHD) pass"},
        {{"gate", "S1", "--variant", "RHD"}, 1, "NEVER_RAN S1 (RHD)\n"},
        {{"gate", "S2"}, 1, "NOT_PASSED S2 aborted LHD"},
        {{"gate", "S9"}, 1, "NEVER_RAN S9\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const CliResult r = Cli(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_TRUE(r.out.starts_with(c.line)) << r.out;
    }
    EXPECT_EQ(Cli({"gate", "S1", "--result", "pass"}).exitCode, 2);
    EXPECT_EQ(Cli({"gate"}).exitCode, 2);
}

TEST_F(RecordsCliTest, ShowsOneRecordAsJson) {
    const CliResult r = Cli({"show", "u-1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::json json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["serial"], "S1");
    EXPECT_EQ(json["reason_text"], "central_lock: wanted 2, got 1");

    const CliResult missing = Cli({"show", "u-9"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("u-9"), std::string::npos) << missing.err;
}

TEST_F(RecordsCliTest, ExportsCsvAndJsonLines) {
    const CliResult csv = Cli({"export", "--csv", "out.csv", "--serial", "S1"});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    EXPECT_EQ(csv.out, "");
    const std::string table = ReadFile("out.csv");
    EXPECT_TRUE(table.starts_with("id,start_time,")) << table;
    EXPECT_NE(table.find("\"central_lock: wanted 2, got 1\""), std::string::npos) << table;
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 3);

    const CliResult jsonl = Cli({"export", "--jsonl", "out.jsonl"});
    ASSERT_EQ(jsonl.exitCode, 0) << jsonl.err;
    const std::string lines = ReadFile("out.jsonl");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 3);
    EXPECT_EQ(nlohmann::json::parse(lines.substr(0, lines.find('\n')))["id"], "u-3");
}

// A target that can't be a file is bad input (2), said before any record is
// read; nothing is written anywhere.
TEST_F(RecordsCliTest, ExportOrReportToATargetThatCantBeAFileIsBadInput) {
    std::filesystem::create_directory(m_folder.Path() + "/folder.csv");
    const std::vector<std::vector<std::string>> commands = {
        {"export", "--csv", "folder.csv"},
        {"export", "--jsonl", "missing/out.jsonl"},
        {"export", "--csv", "/dev/null"},
        {"report", "--html", "folder.csv"},
        {"report", "--html", "missing/report.html"},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command.back());
        const CliResult r = Cli(command);
        EXPECT_EQ(r.exitCode, 2) << r.err;
        EXPECT_NE(r.err.find(command.back()), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() + "/missing"));
}

// A stored row that is not a record fails the command, naming it.
TEST_F(RecordsCliTest, ARowThatIsNotARecordFailsNamingIt) {
    SqliteExecute(m_folder.Path() + "/records.db",
                  "UPDATE unit_records SET result = 'maybe' WHERE id = 'u-2'");
    for (const auto& command : std::vector<std::vector<std::string>>{
             {"list"}, {"show", "u-2"}, {"export", "--csv", "out.csv"}}) {
        SCOPED_TRACE(command.front());
        const CliResult r = Cli(command);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_NE(r.err.find("u-2"), std::string::npos) << r.err;
    }
}

TEST_F(RecordsCliTest, WritesAReportOfTheFilteredRecords) {
    const CliResult r =
        Cli({"report", "--html", "shift.html", "--serial", "S1", "--shifts", "00:00,12:00"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("report of 2 records written to shift.html"), std::string::npos) << r.err;
    const std::string page = ReadFile("shift.html");
    EXPECT_TRUE(page.starts_with("<!DOCTYPE html>")) << page.substr(0, 100);
    EXPECT_NE(page.find("序列号: S1"), std::string::npos);
    EXPECT_NE(page.find("2026-12-10 00:00-12:00"), std::string::npos);
    EXPECT_EQ(page.find("S2"), std::string::npos);
}

// Only a station makes a PostgreSQL store's local queue: reading commands,
// whether the server answers or not, leave no file in the working folder.
TEST_F(RecordsCliTest, ReadingAPostgresStoreLeavesNoQueueFile) {
    std::string why;
    const auto backend = CStoreBackend::Create(Backend::Postgres, why);
    if (!backend)
        GTEST_SKIP() << why;
    ASSERT_TRUE(Inserted(backend->Open("east")->Insert(
        Unit("p-1", "P1", UnitResult::Pass, "2026-12-10T09:00:00.000Z"), false)));
    const std::string away = "postgresql://postgres@127.0.0.1:1/vornak";
    const std::string html = m_folder.Path() + "/report.html";
    const std::vector<std::vector<std::string>> commands = {
        {"list", "--db", backend->PostgresUrl()},
        {"show", "p-1", "--db", backend->PostgresUrl()},
        {"gate", "P1", "--db", backend->PostgresUrl()},
        {"export", "--csv", "out.csv", "--db", backend->PostgresUrl()},
        {"report", "--html", html, "--db", backend->PostgresUrl()},
        {"list", "--db", away},
    };
    for (const auto& args : commands) {
        SCOPED_TRACE(args.front() + " " + args.back());
        const CliResult r = Cli(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_FALSE(std::filesystem::exists(m_folder.Path() + "/" + kDefaultQueueFile));
    }
    EXPECT_NE(Cli({"list", "--db", backend->PostgresUrl()}).out.find("P1"), std::string::npos);
}

TEST_F(RecordsCliTest, RefusesBadUsageAndAMissingStore) {
    const std::vector<std::vector<std::string>> usage = {
        {},
        {"frobnicate"},
        {"list", "extra"},
        {"show"},
        {"show", "u-1", "--serial", "S1"},
        {"show", "u-1", "--until", "2026-12-10"},
        {"list", "--package-sha256", "e3b0c442"},
        {"list", "--recipe-sha256", std::string(63, 'a') + "g"},
        {"list", "--until", "yesterday"},
        {"list", "--bundle", "abc"},
        {"list", "--release", "0"},
        {"list", "--release", "-3"},
        {"list", "--release", "x1"},
        {"show", "u-1", "--release", "3"},
        {"report"},
        {"report", "--html", "r.html", "--shifts", "14:00,06:00"},
        {"report", "--html", "r.html", "--shifts", "6"},
        {"list", "--html", "r.html"},
        {"export", "--csv", "a.csv", "--shifts", "06:00"},
        {"list", "--result", "passed"},
        {"list", "--since", "10.12.2026"},
        {"list", "--since", "2026-13-01"},
        {"list", "--serial"},
        {"list", "--serial="},
        {"list", "--csv", "x.csv"},
        {"export"},
        {"export", "--csv", "a.csv", "--jsonl", "b.jsonl"},
        {"list", "--bogus"},
    };
    for (const auto& args : usage) {
        SCOPED_TRACE(testing::PrintToString(args));
        const CliResult r = Cli(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("vornak-cli: ", 0), 0u) << r.err;
    }
    // Reading a store that isn't there creates none.
    const CliResult missing = Cli({"list", "--db", "none.db"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(m_folder.Path() + "/none.db"));

    const CliResult help = Cli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.starts_with("Usage: vornak-cli records list")) << help.out;
}

}  // namespace
