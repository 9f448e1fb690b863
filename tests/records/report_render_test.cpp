// The shift report as a browser shows it: headless Chromium opens the page a
// store of known records made, prints it to PDF, takes a picture of it and
// hands back its DOM, in which each chart's marks are counted.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "records/record_time.h"
#include "records/report/shift_report.h"
#include "tests/cli/cli_process.h"
#include "tests/support/inserted.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr char kChromium[] = "/usr/bin/chromium";
// Text a record could carry that must show as text, never as markup.
constexpr char kMarkup[] = "<b>x</b> & \"q\"";

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The chart `id` as the DOM holds it; empty when there is none.
std::string Chart(const std::string& dom, const std::string& id) {
    const std::size_t start = dom.find("<svg id=\"" + id + "\"");
    if (start == std::string::npos)
        return "";
    return dom.substr(start, dom.find("</svg>", start) - start);
}

struct Known {
    const char* time;  // on 2026-12-10, UTC (the test's local time)
    const char* slot;
    const char* adapter;
    UnitResult result;
    double seconds;
    const char* step = "";
    const char* reason = "";
    bool retry = false;
    bool rework = false;
    const char* text = "";
};

// Three shifts, three slots, four adapters (one unknown), a retry, a
// rework alone in its hour, an aborted unit, four failure reasons, and one
// unit far slower than its slot's others.
const Known kKnown[] = {
    {"06:05", "A", "FT-A", UnitResult::Pass, 40},
    {"06:10", "B", "FT-B", UnitResult::Pass, 41},
    {"06:15", "C", "FT-C", UnitResult::Fail, 15, "firmware", kReasonNoReply},
    {"06:25", "A", "FT-A", UnitResult::Pass, 41},
    {"06:35", "C", "FT-C", UnitResult::Pass, 40, "", "", true},
    {"06:45", "A", "FT-A", UnitResult::Pass, 40},
    {"07:05", "A", "FT-A", UnitResult::Pass, 42},
    {"07:10", "B", "FT-B", UnitResult::Fail, 22, "settings", kReasonVerifyMismatch, false, false,
     "读回不一致:activePke: 应为 true, 读回 false; crankTime: 应为 2, 读回 1"},
    {"07:25", "A", "FT-A", UnitResult::Pass, 41},
    {"07:30", "B", "FT-B", UnitResult::Aborted, 10, "firmware", kReasonAborted},
    {"08:05", "A", "FT-A", UnitResult::Pass, 40},
    {"09:05", "A", "FT-A", UnitResult::Pass, 41},
    {"10:05", "A", "FT-A", UnitResult::Pass, 40},
    {"11:05", "A", "FT-A", UnitResult::Pass, 42, "", "", false, true},
    {"13:05", "A", "FT-A", UnitResult::Pass, 41},
    {"14:05", "A", "FT-A", UnitResult::Pass, 40},
    {"14:10", "B", "FT-B", UnitResult::Fail, 23, "settings", kReasonVerifyMismatch, false, false,
     kMarkup},
    {"15:05", "A", "FT-A", UnitResult::Pass, 120},
    {"22:30", "C", "", UnitResult::Fail, 30, "firmware", kReasonVersionMismatch},
};

class ReportRenderTest : public testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC0", 1);
        tzset();
        ASSERT_TRUE(std::filesystem::exists(kChromium))
            << kChromium << " is missing: run scripts/install-deps.sh (package chromium)";
        std::string error;
        auto store = OpenRecordStore(m_folder.Path() + "/records.db", "", error);
        ASSERT_TRUE(store) << error;
        int n = 0;
        for (const Known& k : kKnown) {
            UnitRecord r;
            r.id = "u-" + std::to_string(++n);
            // The retry is the serial that failed before it; the rework is the first unit's.
            r.serial = k.retry ? "S3" : k.rework ? "S1" : "S" + std::to_string(n);
            r.startTime = std::string("2026-12-10T") + k.time + ":00.000Z";
            std::chrono::system_clock::time_point start;
            ASSERT_TRUE(RecordTimePoint(r.startTime, start));
            r.endTime = RecordTimeText(
                start + std::chrono::milliseconds(static_cast<long long>(k.seconds * 1000)));
            r.station = "line-1";
            r.slot = k.slot;
            r.adapterSerial = k.adapter;
            r.result = k.result;
            r.failedStep = k.step;
            r.reasonCode = k.reason;
            r.reasonText = k.text;
            r.retry = k.retry;
            r.rework = k.rework;
            ASSERT_TRUE(Inserted(store->Insert(r, false)));
        }
        const ShiftSchedule shifts;
        std::size_t units = 0;
        ASSERT_TRUE(WriteRecordsReport(*store, {}, shifts, Page(), units, error)) << error;
        EXPECT_EQ(units, std::size(kKnown));
    }

    std::string Page() const { return m_folder.Path() + "/report.html"; }

    // Runs Chromium on the page with `action` (--dump-dom, --print-to-pdf=...),
    // its profile and home in the test's folder, and no name resolving, so it
    // reaches nothing outside the machine.
    CliResult Chromium(const std::string& action) {
        CliRun run;
        run.workDir = m_folder.Path();
        run.env = {"PATH=/usr/bin:/bin", "HOME=" + m_folder.Path(), "TZ=UTC0", "LANG=C.UTF-8"};
        run.timeout = std::chrono::seconds(90);
        const std::vector<std::string> args = {
            "--headless",
            "--no-sandbox",
            "--disable-gpu",
            "--disable-quic",
            "--no-first-run",
            "--disable-background-networking",
            "--disable-component-update",
            "--disable-sync",
            "--host-resolver-rules=MAP * ~NOTFOUND",
            "--user-data-dir=" + m_folder.Path() + "/profile-" + std::to_string(++m_runs),
            "--window-size=1000,1400",
            action,
            "file://" + Page(),
        };
        return RunProcess(kChromium, args, run);
    }

    CTempDir m_folder{"report"};
    int m_runs = 0;
};

TEST_F(ReportRenderTest, ChartsHaveTheirMarksAndTheTextsShow) {
    const CliResult r = Chromium("--dump-dom");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string& dom = r.out;
    ASSERT_NE(dom.find("</body>"), std::string::npos) << dom.substr(0, 400);

    struct Marks {
        const char* chart;
        std::size_t bars, points, pointsOut, limits;
    };
    const Marks marks[] = {
        // Ten hours with units; no yield point for 11:00, which holds only a rework.
        {"chart-hourly", 10, 9, 0, 0},
        // Reasons: read-back (2), no reply, aborted, version.
        {"chart-pareto", 4, 4, 0, 0},
        {"chart-slots", 3, 0, 0, 0},
        // FT-A, FT-B, FT-C and the unit with no adapter serial.
        {"chart-adapters", 4, 0, 0, 0},
        // Slot A: twelve units, the 120 s one beyond its limits.
        {"chart-cycle-0", 0, 11, 1, 2},
        {"chart-cycle-1", 0, 4, 0, 2},
        {"chart-cycle-2", 0, 3, 0, 2},
    };
    for (const Marks& m : marks) {
        SCOPED_TRACE(m.chart);
        const std::string chart = Chart(dom, m.chart);
        ASSERT_FALSE(chart.empty());
        EXPECT_EQ(Count(chart, "class=\"bar\""), m.bars);
        EXPECT_EQ(Count(chart, "class=\"point\""), m.points);
        EXPECT_EQ(Count(chart, "class=\"point out\""), m.pointsOut);
        EXPECT_EQ(Count(chart, "class=\"limit\""), m.limits);
    }
    EXPECT_TRUE(Chart(dom, "chart-cycle-3").empty());

    const char* const texts[] = {
        "班次报告",
        "一次合格率",
        "95% 节拍",
        // The headline: 19 units, 14 passed, 4 failed, 1 aborted; 12 of 17 first runs passed.
        "<td class=\"num\">19</td><td class=\"num\">14</td><td class=\"num\">4</td>"
        "<td class=\"num\">1</td><td class=\"num\">70.6%</td>",
        "2026-12-10 06:00-14:00",
        "2026-12-10 14:00-22:00",
        "2026-12-10 22:00-06:00",
        // Reasons and steps in words, the biggest share first.
        "配置读回不一致",
        "设备无应答",
        "版本不符",
        "已中止",
        "写入配置",
        "固件更新",
        "40.0%",
        "(未知)",
        // The read-back differences, one per line.
        "activePke: 应为 true, 读回 false\ncrankTime: 应为 2, 读回 1",
        // A record's text shows as text.
        "&lt;b&gt;x&lt;/b&gt; &amp; \"q\"",
    };
    for (const char* text : texts) {
        EXPECT_NE(dom.find(text), std::string::npos) << text;
    }
    EXPECT_EQ(dom.find(kMarkup), std::string::npos);
    EXPECT_EQ(dom.find("<b>"), std::string::npos);
}

// What a station's report button writes: the shift `now` is in, whole, and
// nothing of the shifts around it.
TEST_F(ReportRenderTest, ShiftReportHoldsTheShiftOfNow) {
    std::string error;
    auto store = OpenRecordStore(m_folder.Path() + "/records.db", "", error);
    ASSERT_TRUE(store) << error;
    const ShiftSchedule shifts;
    std::chrono::system_clock::time_point now;
    ASSERT_TRUE(RecordTimePoint("2026-12-10T14:07:00.000Z", now));
    const std::string path = m_folder.Path() + "/shift.html";
    ASSERT_TRUE(WriteShiftReport(*store, now, shifts, path, error)) << error;
    const std::string page = ReadFile(path);
    // 14:05, 14:10 (failed) and 15:05, also the unit after `now`.
    EXPECT_NE(page.find("<td>2026-12-10 14:00-22:00</td><td class=\"num\">3</td>"
                        "<td class=\"num\">2</td><td class=\"num\">1</td>"),
              std::string::npos);
    EXPECT_EQ(page.find("06:00-14:00"), std::string::npos);
    EXPECT_EQ(page.find("22:00-06:00"), std::string::npos);
    // Named by the shift, so a second click in it writes the same file.
    EXPECT_EQ(ShiftReportPath("/line", now, shifts), "/line/shift-report-2026-12-10-1400.html");
}

TEST_F(ReportRenderTest, LoadsNothingFromOutside) {
    const std::string html = ReadFile(Page());
    // The browser may fetch nothing: the policy comes before anything else.
    const std::string policy =
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
        "style-src 'unsafe-inline'; img-src data:\">";
    EXPECT_LT(html.find(policy), html.find("<style>"));
    // And the page names nothing to fetch.
    const char* const outside[] = {"http:",   "https:", "//",        "url(",    "@import",
                                   "<script", "<link",  "<img",      "<iframe", "<object",
                                   "src=",    "href=",  "@font-face"};
    for (const char* what : outside) {
        EXPECT_EQ(html.find(what), std::string::npos) << what;
    }
    // What the browser ran with is the same policy.
    const CliResult r = Chromium("--dump-dom");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("default-src 'none'"), std::string::npos);
}

TEST_F(ReportRenderTest, PrintsOnA4AndRendersAPicture) {
    const std::string pdf = m_folder.Path() + "/report.pdf";
    const CliResult printed = Chromium("--print-to-pdf=" + pdf);
    ASSERT_EQ(printed.exitCode, 0) << printed.err;
    const std::string document = ReadFile(pdf);
    ASSERT_TRUE(document.starts_with("%PDF-")) << document.substr(0, 16);
    // A4 is 595 x 842 points; several pages of it.
    EXPECT_GE(Count(document, "/MediaBox [0 0 594.95996 841.91998]") +
                  Count(document, "/MediaBox [0 0 595 842]"),
              2u)
        << document.substr(0, 2000);

    const std::string png = m_folder.Path() + "/report.png";
    const CliResult shot = Chromium("--screenshot=" + png);
    ASSERT_EQ(shot.exitCode, 0) << shot.err;
    const std::string picture = ReadFile(png);
    ASSERT_GT(picture.size(), 24u);
    EXPECT_EQ(picture.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    // The width and height in the header, big-endian.
    const auto word = [&](std::size_t at) {
        return (static_cast<unsigned char>(picture[at]) << 24) |
               (static_cast<unsigned char>(picture[at + 1]) << 16) |
               (static_cast<unsigned char>(picture[at + 2]) << 8) |
               static_cast<unsigned char>(picture[at + 3]);
    };
    EXPECT_EQ(word(16), 1000u);
    EXPECT_EQ(word(20), 1400u);
    // A page of charts and text, not a blank one: a blank PNG compresses to little.
    EXPECT_GT(picture.size(), 40000u);
}

}  // namespace
