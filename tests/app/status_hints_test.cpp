// The operator's explanations of failure texts: which texts get one, and what
// the firmware update's failure report is read as.
#include "dialog/status_hints.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

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
