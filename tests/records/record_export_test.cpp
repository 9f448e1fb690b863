// CSV and JSON Lines export, each replacing its file whole or not at all.

#include "records/record_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "records/record_columns.h"
#include "records/record_json.h"
#include "tests/records/store_backend.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(RecordExportTest, QuotesCsvFieldsThatNeedIt) {
    struct Case {
        std::string text;
        std::string field;
    };
    const Case cases[] = {
        {"", ""},
        {"plain text", "plain text"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"cr\r", "\"cr\r\""},
        {"设备连接成功.", "设备连接成功."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(CsvField(c.text), c.field);
    }
}

TEST(RecordExportTest, CsvHasAHeaderAndOneLinePerRecord) {
    UnitRecord record;
    record.id = "u-1";
    record.serial = "0A1B";
    record.result = UnitResult::Aborted;
    record.reasonText = "wanted 2, got \"1\"";
    record.steps = {{"identify", true, 5, {"ok"}}};
    const std::string text = RecordsCsvText({record});

    const std::string header = text.substr(0, text.find("\r\n"));
    EXPECT_TRUE(header.starts_with("id,start_time,end_time,station,")) << header;
    const std::string line = text.substr(header.size() + 2);
    EXPECT_TRUE(line.starts_with("u-1,")) << line;
    EXPECT_NE(line.find(",0A1B,"), std::string::npos) << line;
    EXPECT_NE(line.find(",aborted,0,0,"), std::string::npos) << line;
    EXPECT_NE(line.find(",\"wanted 2, got \"\"1\"\"\","), std::string::npos) << line;
    EXPECT_NE(line.find(R"("[{""duration_ms"":5,)"), std::string::npos) << line;
    EXPECT_TRUE(line.ends_with("\r\n"));
    EXPECT_EQ(text.find("\r\n", header.size() + 2), text.size() - 2);
}

TEST(RecordExportTest, JsonLinesCarryEveryFieldOnOneLineEach) {
    UnitRecord first;
    first.id = "u-1";
    first.reasonText = "line one\nline two";
    // A box's 8-bit version text is not UTF-8: exported, not thrown on.
    first.versionBefore = "V1.0 \xB0\xE6";
    first.frameTrace = {"> 7E 01"};
    UnitRecord second;
    second.id = "u-2";
    const std::string text = RecordsJsonLinesText({first, second});

    std::istringstream lines(text);
    std::string line;
    std::vector<nlohmann::json> parsed;
    while (std::getline(lines, line)) {
        parsed.push_back(nlohmann::json::parse(line));
    }
    ASSERT_EQ(parsed.size(), 2u);
    EXPECT_EQ(parsed[0]["reason_text"], "line one\nline two");
    EXPECT_EQ(parsed[0]["version_before"], "V1.0 \xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(parsed[0]["frame_trace"], nlohmann::json::array({"> 7E 01"}));
    EXPECT_EQ(parsed[0]["result"], "fail");
    EXPECT_EQ(parsed[1]["id"], "u-2");
    EXPECT_EQ(parsed[0].size(), RecordColumnNames().size());
}

TEST(RecordExportTest, AnExportReplacesTheFileWholeOrLeavesItAlone) {
    CTempDir folder{"records"};
    const std::string path = folder.Path() + "/out.csv";
    UnitRecord first;
    first.id = "u-1";
    UnitRecord second;
    second.id = "u-2";
    std::string error;
    ASSERT_TRUE(ExportCsv(path, {first}, error)) << error;
    ASSERT_TRUE(ExportCsv(path, {first, second}, error)) << error;
    EXPECT_EQ(ReadFile(path), RecordsCsvText({first, second}));

    // A folder that does not exist, or a folder as the destination: an
    // error, and no temporary file left anywhere.
    EXPECT_FALSE(ExportJsonLines(folder.Path() + "/none/out.jsonl", {first}, error));
    EXPECT_FALSE(error.empty());
    std::filesystem::create_directory(folder.Path() + "/dir");
    EXPECT_FALSE(ExportCsv(folder.Path() + "/dir", {first}, error));
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 2u) << "a temporary file was left behind";
    EXPECT_EQ(ReadFile(path), RecordsCsvText({first, second}));
}

}  // namespace
