// The operator's explanations of failures: which texts get one, what the
// firmware update's failure report is read as, and a result's explanations
// from its fields.
#include "dialog/status_hints.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "link/status_words.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(StatusHints, WhichTextsAreExplained) {
    struct Case {
        const char* text;
        const char* contains;  // empty: no hint
    };
    const Case cases[] = {
        {"错误:EF00", "COM1 至 COM29 上没有设备应答"},
        {"错误:EF03", "没有在规定时间内应答"},
        {"错误:EF02", "未能写入串口"},
        {"错误:EF04", "应答比所读的设置块短"},
        {"错误:1234", "结果码为 1234"},
        {"错误:EF0", ""},  // not a code
        {"wErr=EF03; Code=EE00; wLen=0002;", "没有在规定时间内应答"},
        {"wErr=EE00; Code=0004; wLen=0002;", "结果码为 0004"},
        {"wErr=EE00; Code=EE00; wLen=0000;", "应答过短"},
        {"wErr=XXXX; Code=EE00; wLen=0000;", ""},
        {"文件发送失败.", "设备没有接受发送的数据"},
        {"无法打开指定文件.", "无法打开要发送的文件"},
        {"读取文件出错.", "文件读取出错"},
        {"设备连接成功.", ""},
        {"文件发送中256/600  ....", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string hint = HintForStatus(c.text);
        if (*c.contains == '\0') {
            EXPECT_EQ(hint, "");
        } else {
            EXPECT_NE(hint.find(c.contains), std::string::npos) << hint;
        }
    }
}

// A handler's result explained from its fields: the same words as its status
// texts get, each once, and none where the status line reports no failure.
TEST(StatusHints, ResultsAreExplainedFromTheirFields) {
    const CTempDir temp("hints");
    const std::string missing = temp.Path() + "/missing.bin";
    const auto failed = [](OpStep step, std::uint16_t failureCode = 0) {
        return OpResult{.failedStep = step, .failureCode = failureCode};
    };
    const auto load = [](OpStep step, ImageLoad why) {
        return OpResult{.failedStep = step, .load = why};
    };
    const auto transfer = [](OpStep step, StatusWord status, std::uint16_t word) {
        return OpResult{.failedStep = step, .status = status, .resultWord = word};
    };
    struct Case {
        const char* name;
        OpResult result;
        HintFile file;
        std::string path;
        std::vector<const char*> contains;  // one part per hint, in order
    };
    const Case cases[] = {
        {"success", OpResult{.ok = true}, HintFile::None, "", {}},
        {"input refused", failed(OpStep::Input), HintFile::None, "", {}},
        {"jump refused", failed(OpStep::Jump, 0x1234), HintFile::None, "", {}},
        {"scan found no box",
         failed(OpStep::Identity, ST_NO_DEVICE),
         HintFile::None,
         "",
         {"COM1 至 COM29 上没有设备应答"}},
        {"short settings reply",
         failed(OpStep::ConfigRead, ST_SHORT_REPLY),
         HintFile::None,
         "",
         {"应答比所读的设置块短"}},
        {"box refused a write",
         failed(OpStep::ConfigWrite, 0x1234),
         HintFile::None,
         "",
         {"结果码为 1234"}},
        {"update lost its reply",
         transfer(OpStep::UpgradeData, ST_NO_REPLY, RESULT_OK),
         HintFile::Package,
         "",
         {"没有在规定时间内应答"}},
        {"update refused",
         transfer(OpStep::UpgradeCommit, ST_OK, 0x0004),
         HintFile::Package,
         "",
         {"结果码为 0004"}},
        {"update reply short",
         transfer(OpStep::UpgradeBegin, ST_OK, RESULT_OK),
         HintFile::Package,
         "",
         {"应答过短"}},
        {"send refused",
         failed(OpStep::FileData, ST_NO_REPLY),
         HintFile::SendFile,
         "",
         {"设备没有接受发送的数据"}},
        {"send not hashed",
         load(OpStep::Digest, ImageLoad::Ok),
         HintFile::SendFile,
         "",
         {"设备没有接受发送的数据"}},
        {"send file missing",
         load(OpStep::Load, ImageLoad::OpenFailed),
         HintFile::SendFile,
         missing,
         {"不存在"}},
        {"send file unnamed",
         load(OpStep::Load, ImageLoad::OpenFailed),
         HintFile::SendFile,
         "",
         {"无法打开要发送的文件"}},
        {"send file short",
         load(OpStep::Load, ImageLoad::ShortRead),
         HintFile::SendFile,
         "",
         {"文件读取出错"}},
        {"no memory", load(OpStep::Load, ImageLoad::NoMemory), HintFile::SendFile, "", {}},
        {"package missing",
         load(OpStep::Load, ImageLoad::OpenFailed),
         HintFile::Package,
         missing,
         {"不存在"}},
        {"package short",
         load(OpStep::Load, ImageLoad::ShortRead),
         HintFile::Package,
         "",
         {"固件包比包头声明的短"}},
        {"steps after the commit failed",
         OpResult{.laterFailureCodes = {ST_NO_REPLY, 0x0004, ST_NO_REPLY}},
         HintFile::Package,
         "",
         {"没有在规定时间内应答", "结果码为 0004"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::string> hints = HintsForResult(c.result, c.file, c.path);
        ASSERT_EQ(hints.size(), c.contains.size());
        for (std::size_t i = 0; i < hints.size(); ++i)
            EXPECT_NE(hints[i].find(c.contains[i]), std::string::npos) << hints[i];
    }
}

TEST(StatusHints, FileProblemsAreToldApart) {
    const CTempDir temp("hints");
    const std::filesystem::path dir = temp.Path();
    std::ofstream(dir / "ok.bin") << "x";
    std::filesystem::create_directory(dir / "folder.pkg");
    struct Case {
        std::string path;
        const char* contains;  // empty: no problem
    };
    const Case cases[] = {
        {(dir / "ok.bin").string(), ""},
        {(dir / "missing.bin").string(), "不存在"},
        {(dir / "ok.bin/inner").string(), "不存在"},
        {(dir / "folder.pkg").string(), "是文件夹"},
        {"/dev/null", "不是普通文件"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string hint = FileProblemHint(c.path);
        if (*c.contains == '\0') {
            EXPECT_EQ(hint, "");
        } else {
            EXPECT_NE(hint.find(c.contains), std::string::npos) << hint;
            EXPECT_NE(hint.find(c.path), std::string::npos) << hint;
        }
    }
    // The package's cannot-open text carries the path, so its hint names it.
    EXPECT_NE(HintForStatus("无法打开程序文件:" + (dir / "missing.pkg").string()).find("不存在"),
              std::string::npos);
    std::filesystem::remove_all(dir);
}

TEST(StatusHints, WriteProblemsAreToldApart) {
    const CTempDir temp("hints");
    const std::filesystem::path dir = temp.Path();
    std::ofstream(dir / "old.html") << "x";
    std::filesystem::create_directory(dir / "report.html");
    struct Case {
        std::string path;
        const char* contains;  // empty: no problem
        std::string named;     // the path the hint names
    };
    const Case cases[] = {
        {(dir / "new.html").string(), "", ""},
        {(dir / "old.html").string(), "", ""},
        {(dir / "gone/new.html").string(), "不存在", (dir / "gone").string()},
        {(dir / "old.html/new.html").string(), "不是文件夹", (dir / "old.html").string()},
        {(dir / "report.html").string(), "是文件夹", (dir / "report.html").string()},
        {"/dev/null", "不是普通文件", "/dev/null"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string hint = FileWriteProblemHint(c.path);
        if (*c.contains == '\0') {
            EXPECT_EQ(hint, "");
        } else {
            EXPECT_NE(hint.find(c.contains), std::string::npos) << hint;
            EXPECT_NE(hint.find(c.named), std::string::npos) << hint;
        }
    }
}

}  // namespace
