// The station window on the offscreen platform, against box simulators on
// pseudo-terminals (one per fixture slot) and a SQLite records store.

#include "app/qt/station_window.h"

#include <gtest/gtest.h>
#include <time.h>

#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "app/qt/station_launch.h"
#include "app/qt/station_tile.h"
#include "boxsim/box_simulator.h"
#include "layouts/option_table.h"
#include "link/command_codes.h"
#include "records/record_store.h"
#include "records/record_time.h"
#include "records/report/shift_report.h"
#include "res/station_texts.h"
#include "res/store_texts.h"
#include "station/release/release_bundle.h"
#include "station/release/release_key.h"
#include "tests/support/box_workspace.h"
#include "tests/support/inserted.h"
#include "tests/support/quick_upgrade_timing.h"
#include "tests/support/test_files.h"
#include "window_fixture.h"

namespace {

const char kNewVersion[] = "VBX-100 V3.0.0";
// Long enough for a few units against the simulators on a loaded machine.
constexpr int kUnitWaitMs = 30000;
// The simulated box restarts quickly; the update's waits shrink to match.
constexpr std::chrono::milliseconds kSimRestart{30};
// A package that takes seconds at the line's real speed, so a unit is still
// running when the test acts.
constexpr std::size_t kSlowPackageBytes = 64 * 1024;
constexpr unsigned kLineBaud = 115200;

std::string RecipeText(const char* variant, bool firmware) {
    std::string text = std::string("name = \"Door module\"\nvariant = \"") + variant + "\"\n";
    if (firmware)
        text += "[firmware]\npackage = \"fw.pkg\"\nversion = \"VBX-100 V3.0.0\"\n";
    text += "[settings]\nactivePke = true\ncrankTime = 2\n";
    return text;
}

// Answers the next message box with the button whose text starts with
// `answer`, after checking that 否 is its default.
std::unique_ptr<QObject> AnswerNextQuestion(const QString& answer, bool* asked) {
    return OnNextWindow([answer, asked](QWidget* window) {
        auto* box = qobject_cast<QMessageBox*>(window);
        ASSERT_NE(box, nullptr);
        *asked = true;
        ASSERT_NE(box->defaultButton(), nullptr);
        EXPECT_TRUE(box->defaultButton()->text().startsWith(QStringLiteral("否")));
        for (QAbstractButton* button : box->buttons()) {
            if (button->text().startsWith(answer)) {
                button->click();
                return;
            }
        }
        ADD_FAILURE() << "no button " << answer.toStdString();
    });
}

// One shift a day, starting twelve hours from now: a test's units all fall in
// the shift of now, and a record of thirteen hours ago does not.
ShiftSchedule ShiftAroundNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    constexpr int kMinutesPerDay = 24 * 60;
    return ShiftSchedule{
        {(local.tm_hour * 60 + local.tm_min + kMinutesPerDay / 2) % kMinutesPerDay}};
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

// Takes the file URLs the desktop is asked to open, in place of a browser.
class CUrlCatcher : public QObject {
    Q_OBJECT
public:
    CUrlCatcher() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Open"); }
    ~CUrlCatcher() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    CUrlCatcher(const CUrlCatcher&) = delete;
    CUrlCatcher& operator=(const CUrlCatcher&) = delete;

    std::vector<QUrl> urls;

public slots:
    void Open(const QUrl& url) { urls.push_back(url); }
};

class StationWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteBytesFile("fw.pkg", MakeSamplePackage(kNewVersion, 600));
        WriteTextFile("a.toml", RecipeText("V-A1", true));
        WriteTextFile("b.toml", RecipeText("V-B2", false));
    }

    void TearDown() override {
        m_window.reset();
        for (auto& sim : m_sims)
            sim->Stop();
    }

    CBoxSimulator& StartBox(int com, std::uint8_t serialTail) {
        m_sims.push_back(std::make_unique<CBoxSimulator>());
        CBoxSimulator& sim = *m_sims.back();
        EXPECT_TRUE(sim.Start(m_workspace.PortDir(), com));
        sim.SetRestartTime(kSimRestart);
        sim.SetSerial({0x12, 0x34, 0xAB, 0x00, 0x5E, serialTail});
        return sim;
    }

    // COM3 passes; COM4 stores activePke wrong, so its read-back fails.
    void StartPassingAndFailingBoxes() {
        StartBox(3, 0x01);
        const OptionInfo* pke = FindOptionByField("activePke");
        ASSERT_NE(pke, nullptr);
        StartBox(4, 0x02).SetStoreFault(SimStoreFault{pke->block,
                                                      static_cast<std::size_t>(pke->byte),
                                                      static_cast<std::uint8_t>(1u << pke->bit)});
    }

    // `seed` may put records into the store before the window opens.
    void Open(const std::vector<StationSlot>& fixtureSlots,
              const std::function<void(IRecordStore&, const Recipe&)>& seed = {}) {
        Recipe recipe;
        std::string error;
        ASSERT_TRUE(LoadRecipe(m_workspace.WorkDir() + "/a.toml", recipe, error)) << error;
        std::unique_ptr<IRecordStore> store = OpenRecordStore(
            m_storeUrl.empty() ? "sqlite:" + m_workspace.WorkDir() + "/records.db" : m_storeUrl,
            m_workspace.WorkDir() + "/queue.db", error);
        ASSERT_TRUE(store) << error;
        if (seed)
            seed(*store, recipe);
        StationOptions options;
        options.station = "line-1";
        options.operatorName = "op";
        options.timing = QuickUpgradeTiming();
        options.toolVersion = "test";
        StationSource source;
        source.recipe = recipe;
        SourceLookup lookup;
        lookup.folder = m_workspace.WorkDir();
        lookup.trust = {m_workspace.WorkDir() + "/trust", false};
        m_window = std::make_unique<CStationWindow>(std::move(source), lookup, fixtureSlots,
                                                    std::move(store), options,
                                                    StationReportPlace{ReportFolder(), m_shifts});
        QSignalSpy started(m_window.get(), &CStationWindow::groupStarted);
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
        // The group starts from the event loop, which showing the window runs.
        ASSERT_TRUE(!started.isEmpty() || started.wait(kUnitWaitMs));
        ASSERT_TRUE(started.front().front().toBool()) << Message().toStdString();
    }

    // The window's parts as the operator sees them, found by object name.
    template <typename T>
    static T& Part(const QObject& parent, const char* name) {
        T* part = parent.findChild<T*>(QLatin1String(name));
        if (part == nullptr)
            throw std::runtime_error(std::string("no part named ") + name);
        return *part;
    }
    // Tiles in slot order.
    CStationTile& Tile(std::size_t i) const {
        return *m_window->findChildren<CStationTile*>().at(static_cast<qsizetype>(i));
    }
    static QString TileText(const CStationTile& tile, const char* part) {
        return Part<QLabel>(tile, part).text();
    }
    // Percent; -1 while the bar is hidden.
    static int TileProgress(const CStationTile& tile) {
        const auto& bar = Part<QProgressBar>(tile, "tileProgress");
        return bar.isHidden() ? -1 : bar.value();
    }
    QString Message() const { return Part<QLabel>(*m_window, "message").text(); }
    QString Counters() const {
        QString text;
        for (const char* name :
             {"passedCount", "failedCount", "refusedCount", "firstPassYield", "meanCycle"})
            text += Part<QLabel>(*m_window, name).text();
        return text;
    }
    QTreeWidget& Records() const { return Part<QTreeWidget>(*m_window, "records"); }
    bool ShowsVariant(const QString& variant) const {
        return m_window->windowTitle().endsWith(QStringLiteral(" - ") + variant);
    }

    std::string ReportFolder() const { return m_workspace.WorkDir(); }
    // The report the button writes now.
    std::string ReportPath() const {
        return ShiftReportPath(ReportFolder(), std::chrono::system_clock::now(), m_shifts);
    }

    void Scan(const QString& text) {
        auto& field = Part<QLineEdit>(*m_window, "scanField");
        QTest::keyClicks(&field, text);
        QTest::keyClick(&field, Qt::Key_Return);
    }
    // Waits until the message line says `what` (the lookup of a scan runs off
    // the GUI thread); false when it never did. A slot with no box says so
    // there once as it starts: a test waits for that first, so that it does
    // not cover the answer to a scan.
    bool MessageSays(const std::function<bool(const QString&)>& what) const {
        return QTest::qWaitFor([&] { return what(Message()); }, kUnitWaitMs);
    }

    // A bundle of `variant` (no firmware) in the work folder; its key id.
    std::string MakeBundle(const std::string& name, const char* variant, std::int64_t release) {
        const std::string work = m_workspace.WorkDir();
        std::filesystem::create_directories(work + "/eng");
        WriteTextFile(work + "/eng/c.toml", RecipeText(variant, false));
        std::string keyId;
        std::string error;
        if (!std::filesystem::exists(work + "/eng/k")) {
            EXPECT_TRUE(GenerateKeyFiles(work + "/eng/k", keyId, error)) << error;
        }
        BundleRequest request;
        request.recipePath = work + "/eng/c.toml";
        request.keyPath = work + "/eng/k";
        request.release = release;
        request.families = {"VBX-100 "};
        request.output = work + "/" + name;
        request.now = std::chrono::system_clock::now();
        ReleaseManifest manifest;
        EXPECT_TRUE(CreateBundle(request, manifest, error)) << error;
        return manifest.keyId;
    }

    CBoxWorkspace m_workspace{"stationwin"};
    std::string m_storeUrl;  // empty: a SQLite file in the workspace
    std::vector<std::unique_ptr<CBoxSimulator>> m_sims;
    std::unique_ptr<CStationWindow> m_window;
    const ShiftSchedule m_shifts = ShiftAroundNow();
};

TEST_F(StationWindowTest, TilesCountersAndListFollowTheUnits) {
    StartPassingAndFailingBoxes();
    Open({{"A", "COM3"}, {"B", "COM4"}, {"C", "COM5"}});

    // What the first tile showed while its unit ran.
    bool sawRunningStep = false;
    QObject::connect(m_window.get(), &CStationWindow::eventShown, m_window.get(), [&] {
        if (Tile(0).State() == TileState::Running &&
            TileText(Tile(0), "tileDetail").startsWith("步骤"))
            sawRunningStep = true;
    });
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return Tile(0).State() == TileState::Passed && Tile(1).State() == TileState::Failed;
        },
        kUnitWaitMs));

    EXPECT_TRUE(sawRunningStep);
    EXPECT_EQ(TileText(Tile(0), "tileState"), "合格");
    EXPECT_TRUE(TileText(Tile(0), "tileSerial").contains("1234AB005E01"));
    EXPECT_FALSE(TileText(Tile(0), "tileElapsed").contains("—"));
    EXPECT_EQ(TileText(Tile(1), "tileState"), "不合格");
    const QString failure = TileText(Tile(1), "tileDetail");
    EXPECT_TRUE(failure.contains("写入配置: 配置读回不一致")) << failure.toStdString();
    // Options by caption on the tile; keys only in the detail.
    EXPECT_TRUE(failure.contains("主动PKE: 应为 开启, 读回 关闭")) << failure.toStdString();
    EXPECT_FALSE(failure.contains("activePke"));
    EXPECT_EQ(Tile(2).State(), TileState::Waiting);
    EXPECT_EQ(TileText(Tile(2), "tileState"), "等待设备");

    const QString counters = Counters();
    EXPECT_TRUE(counters.contains("合格 1") && counters.contains("不合格 1") &&
                counters.contains("一次通过率 50.0%"))
        << counters.toStdString();

    QTreeWidget* list = &Records();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    for (int row = 0; row < 2; ++row) {
        QTreeWidgetItem* item = list->topLevelItem(row);
        list->setCurrentItem(item);
        const QString detail = Part<QPlainTextEdit>(*m_window, "recordDetail").toPlainText();
        if (item->text(1) == "B") {
            EXPECT_TRUE(item->text(3).contains("不合格"));
            EXPECT_TRUE(detail.contains("VERIFY_MISMATCH")) << detail.toStdString();
            EXPECT_TRUE(detail.contains("最后的帧"));
        } else {
            EXPECT_TRUE(item->text(3).contains("合格"));
            EXPECT_TRUE(detail.contains("主动PKE (activePke): 关闭 -> 开启"))
                << detail.toStdString();
            EXPECT_TRUE(detail.contains("版本: ") && detail.contains(kNewVersion));
        }
    }
}

// A records server nobody answers for: the unit passes on the local queue,
// and a banner says the server is away and how many records wait for it.
TEST_F(StationWindowTest, ABannerSaysTheServerIsAwayAndCountsTheWaitingRecords) {
    m_storeUrl = "postgresql://postgres@127.0.0.1:1/vornak";  // nothing listens on port 1
    StartBox(3, 0x01);
    Open({{"A", "COM3"}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Tile(0).State() == TileState::Passed; }, kUnitWaitMs));
    const auto& banner = Part<QLabel>(*m_window, "storeBanner");
    QTRY_VERIFY_WITH_TIMEOUT(banner.text().contains(QStringLiteral("1 ") + kServerWaiting),
                             kUnitWaitMs);
    EXPECT_TRUE(banner.isVisible());
    EXPECT_TRUE(banner.text().startsWith(kServerAway)) << banner.text().toStdString();
}

TEST_F(StationWindowTest, RefusedSerialIsItsOwnStateAndReworksOnRequest) {
    StartBox(3, 0x01);
    Open({{"A", "COM3"}}, [](IRecordStore& store, const Recipe& recipe) {
        UnitRecord passed;
        passed.id = "earlier-pass";
        passed.serial = "1234AB005E01";
        passed.recipeSha256 = recipe.sha256;
        passed.result = UnitResult::Pass;
        passed.startTime = "2026-12-10T10:00:00.000Z";
        passed.endTime = "2026-12-10T10:00:30.000Z";
        std::string error;
        ASSERT_TRUE(Inserted(store.Insert(passed, false)));
    });
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return Tile(0).State() == TileState::Refused; }, kUnitWaitMs));
    EXPECT_EQ(TileText(Tile(0), "tileState"), "已合格");
    EXPECT_EQ(TileText(Tile(0), "tileDetail"), "需返工请找班组长");
    const QString counters = Counters();
    EXPECT_TRUE(counters.contains("合格 0") && counters.contains("不合格 0") &&
                counters.contains("需返工 1") && counters.contains("一次通过率 —") &&
                counters.contains("平均节拍 —"))
        << counters.toStdString();
    EXPECT_EQ(Records().topLevelItemCount(), 1);  // the earlier pass alone

    auto& rework = Part<QPushButton>(Tile(0), "tileRework");
    ASSERT_TRUE(rework.isVisible());
    bool asked = false;
    {
        auto answer = AnswerNextQuestion("否", &asked);
        rework.click();
    }
    EXPECT_TRUE(asked);
    EXPECT_EQ(Tile(0).State(), TileState::Refused);

    asked = false;
    {
        auto answer = AnswerNextQuestion("是", &asked);
        rework.click();
    }
    EXPECT_TRUE(asked);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Tile(0).State() == TileState::Passed; }, kUnitWaitMs));
    EXPECT_FALSE(rework.isVisible());
    ASSERT_EQ(Records().topLevelItemCount(), 2);
    Records().setCurrentItem(Records().topLevelItem(0));
    const QString detail = Part<QPlainTextEdit>(*m_window, "recordDetail").toPlainText();
    EXPECT_TRUE(detail.contains("(返工)")) << detail.toStdString();
}

// The list shows the latest records; a serial typed into the search shows
// every record of that serial, however old, and clearing it goes back.
TEST_F(StationWindowTest, SearchFindsEveryRecordOfASerial) {
    StartBox(3, 0x01);
    Open({{"A", "COM3"}}, [](IRecordStore& store, const Recipe& recipe) {
        // The old record is followed by more newer ones than the list holds.
        for (int i = 0; i <= 100; ++i) {
            UnitRecord r;
            r.id = "seed-" + std::to_string(i);
            r.serial = i == 0 ? "AAAA00000001" : "BBBB0000" + std::to_string(1000 + i);
            r.recipeSha256 = recipe.sha256;
            r.result = UnitResult::Fail;
            r.startTime = "2026-12-0" + std::to_string(i == 0 ? 1 : 9) +
                          "T10:00:" + (i % 60 < 10 ? "0" : "") + std::to_string(i % 60) + ".000Z";
            r.endTime = r.startTime;
            std::string error;
            ASSERT_TRUE(Inserted(store.Insert(r, false)));
        }
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return Tile(0).State() == TileState::Passed; }, kUnitWaitMs));
    const auto serials = [&] {
        QStringList shown;
        for (int row = 0; row < Records().topLevelItemCount(); ++row)
            shown << Records().topLevelItem(row)->text(2);
        return shown;
    };
    ASSERT_FALSE(serials().contains("AAAA00000001"));

    auto& search = Part<QLineEdit>(*m_window, "recordSearch");
    const struct {
        const char* typed;
        QStringList expected;
    } cases[] = {
        {"aaaa00000001", {"AAAA00000001"}},    // older than the latest, any case
        {" 1234AB005E01 ", {"1234AB005E01"}},  // the unit just run
        {"CCCC00000000", {}},
    };
    for (const auto& c : cases) {
        search.clear();
        QTest::keyClicks(&search, c.typed);
        QTest::keyClick(&search, Qt::Key_Return);
        EXPECT_TRUE(QTest::qWaitFor([&] { return serials() == c.expected; }, kUnitWaitMs))
            << c.typed << ": " << serials().join(',').toStdString();
    }
    EXPECT_TRUE(Message().contains("没有此序列号的记录")) << Message().toStdString();

    // A record of the search shows its detail.
    search.clear();
    QTest::keyClicks(&search, "AAAA00000001");
    QTest::keyClick(&search, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Records().topLevelItemCount() == 1; }, kUnitWaitMs));
    Records().setCurrentItem(Records().topLevelItem(0));
    EXPECT_TRUE(
        Part<QPlainTextEdit>(*m_window, "recordDetail").toPlainText().contains("AAAA00000001"));

    search.clear();
    EXPECT_EQ(Records().topLevelItemCount(), 100);
}

// After the last firmware packet the box is silent while it applies the
// update: the tile says so, with a busy bar, instead of standing at a percent.
TEST_F(StationWindowTest, TileShowsTheBoxApplyingTheUpdate) {
    StartBox(3, 0x01).SetRestartTime(std::chrono::milliseconds(1000));
    Open({{"A", "COM3"}});
    bool sawApplying = false;
    QObject::connect(m_window.get(), &CStationWindow::eventShown, m_window.get(), [&] {
        const auto& bar = Part<QProgressBar>(Tile(0), "tileProgress");
        if (TileText(Tile(0), "tileDetail") == "设备正在更新固件,请勿断电" && !bar.isHidden() &&
            bar.maximum() == 0)
            sawApplying = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return Tile(0).State() == TileState::Passed; }, kUnitWaitMs));
    EXPECT_TRUE(sawApplying);
}

// A slot whose port is gone says so in Chinese first, the technical cause
// after; once a box answers there the message line says the port is back
// instead of keeping the old cause.
TEST_F(StationWindowTest, APortProblemIsSaidInChineseAndClearedWhenTheSlotWorks) {
    Open({{"A", "COM3"}});
    ASSERT_TRUE(MessageSays([](const QString& m) {
        return m.startsWith(QStringLiteral("A: ") + QString::fromUtf8(kTextPortGone) + " / COM3");
    })) << Message().toStdString();
    StartBox(3, 0x01);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Tile(0).State() == TileState::Passed; }, kUnitWaitMs));
    EXPECT_EQ(Message(), QStringLiteral("A: ") + QString::fromUtf8(kTextPortBack));
}

TEST_F(StationWindowTest, ScanPicksTheRecipeOfAVariant) {
    Open({{"A", "COM3"}});
    ASSERT_TRUE(
        MessageSays([](const QString& m) { return m.startsWith("A: ") && m.contains(" / COM3"); }));

    Scan("NOPE-1");
    EXPECT_TRUE(MessageSays([](const QString& m) { return m.contains("未知型号: NOPE-1"); }))
        << Message().toStdString();
    EXPECT_TRUE(ShowsVariant("V-A1"));

    QSignalSpy started(m_window.get(), &CStationWindow::groupStarted);
    Scan("V-B2");
    ASSERT_TRUE(started.wait(kUnitWaitMs));
    EXPECT_TRUE(started.front().front().toBool());
    EXPECT_TRUE(ShowsVariant("V-B2"));

    // With no unit running, a close asks nothing; the window goes once the
    // slots have stopped.
    bool asked = false;
    auto answer = AnswerNextQuestion("否", &asked);
    m_window->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_window->isVisible(); }, kUnitWaitMs));
    EXPECT_FALSE(asked);
}

// A bundle in the folder takes part in the switch once it is checked whole,
// and its units' records carry it; a file that is no bundle is named and
// never runs.
TEST_F(StationWindowTest, ScanPicksAReleaseBundle) {
    const std::string keyId = MakeBundle("c.vbundle", "V-C3", 7);
    const std::string work = m_workspace.WorkDir();
    WriteTextFile(work + "/junk.vbundle", "not a bundle");
    Open({{"A", "COM3"}});
    ASSERT_TRUE(
        MessageSays([](const QString& m) { return m.startsWith("A: ") && m.contains(" / COM3"); }));

    Scan("V-D4");
    EXPECT_TRUE(MessageSays([](const QString& m) { return m.contains("junk.vbundle"); }))
        << Message().toStdString();
    EXPECT_TRUE(ShowsVariant("V-A1"));

    QSignalSpy started(m_window.get(), &CStationWindow::groupStarted);
    Scan("V-C3");
    ASSERT_TRUE(started.wait(kUnitWaitMs));
    ASSERT_TRUE(ShowsVariant("V-C3"));
    EXPECT_TRUE(Part<QLabel>(*m_window, "recipeLabel").text().contains("发布包 7"));
    StartBox(3, 0x01);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Tile(0).State() == TileState::Passed; }, kUnitWaitMs));
    Records().setCurrentItem(Records().topLevelItem(0));
    const QString detail = Part<QPlainTextEdit>(*m_window, "recordDetail").toPlainText();
    EXPECT_TRUE(detail.contains("发布包: 版本号 7    签名密钥: " + QString::fromStdString(keyId)))
        << detail.toStdString();
}

// An older release than one that passed for the variant is refused at the
// scan, before the running group is touched.
TEST_F(StationWindowTest, ScanRefusesAnOlderRelease) {
    MakeBundle("c.vbundle", "V-C3", 7);
    Open({{"A", "COM3"}}, [](IRecordStore& store, const Recipe&) {
        UnitRecord passed;
        passed.id = "earlier";
        passed.serial = "S1";
        passed.variant = "V-C3";
        passed.result = UnitResult::Pass;
        passed.startTime = "2026-12-01T08:00:00.000Z";
        passed.releaseNumber = 8;
        std::string error;
        ASSERT_TRUE(Inserted(store.Insert(passed, false)));
    });
    ASSERT_TRUE(
        MessageSays([](const QString& m) { return m.startsWith("A: ") && m.contains(" / COM3"); }));
    Scan("V-C3");
    EXPECT_TRUE(MessageSays([](const QString& m) {
        return m.startsWith("未切换") && m.contains("release 7 of V-C3 is older than release 8");
    })) << Message().toStdString();
    EXPECT_TRUE(ShowsVariant("V-A1"));
}

// A box that ended its unit and stays in the fixture is not run again by the
// recipe scanned next; a box placed after the switch is, and so is the first
// one once it was taken off and put back.
TEST_F(StationWindowTest, RecipeSwitchLeavesTheBoxesInTheFixtureAlone) {
    CBoxSimulator& left = StartBox(3, 0x01);
    Open({{"A", "COM3"}, {"B", "COM4"}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return Tile(0).State() == TileState::Passed; }, kUnitWaitMs));
    const std::uint64_t writesBefore = left.RequestCount(CMD_CONFIG_WRITE_1);

    QSignalSpy started(m_window.get(), &CStationWindow::groupStarted);
    Scan("V-B2");
    ASSERT_TRUE(started.wait(kUnitWaitMs));
    ASSERT_TRUE(ShowsVariant("V-B2"));
    StartBox(4, 0x02);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Tile(1).State() == TileState::Passed; }, kUnitWaitMs));
    // Slot A's station had the whole of B's unit to take its box, and did not.
    EXPECT_EQ(left.RequestCount(CMD_CONFIG_WRITE_1), writesBefore);
    EXPECT_EQ(Tile(0).State(), TileState::Passed);
    EXPECT_EQ(Records().topLevelItemCount(), 2);

    // Taken off and put back, it is a box placed after the switch.
    left.Stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return TileText(Tile(0), "tileDetail").contains("已取下"); },
                                kUnitWaitMs));
    CBoxSimulator& back = StartBox(3, 0x01);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Records().topLevelItemCount() == 3; }, kUnitWaitMs));
    EXPECT_GT(back.RequestCount(CMD_CONFIG_WRITE_1), 0u);
    EXPECT_EQ(m_window->findChild<QTreeWidget*>("records")->topLevelItem(0)->text(1), "A");
}

TEST_F(StationWindowTest, SwitchingOrClosingDuringAUnitAsksFirst) {
    WriteBytesFile("fw.pkg", MakeSamplePackage(kNewVersion, kSlowPackageBytes));
    StartBox(3, 0x01).SetFaults({.throttleBaud = kLineBaud});
    Open({{"A", "COM3"}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return TileProgress(Tile(0)) > 0; }, kUnitWaitMs));

    bool asked = false;
    {
        auto answer = AnswerNextQuestion("否", &asked);
        Scan("V-B2");
        ASSERT_TRUE(QTest::qWaitFor([&] { return asked; }, kUnitWaitMs));
    }
    EXPECT_TRUE(asked);
    EXPECT_TRUE(ShowsVariant("V-A1"));
    EXPECT_EQ(Tile(0).State(), TileState::Running);

    asked = false;
    {
        auto answer = AnswerNextQuestion("否", &asked);
        m_window->close();
    }
    EXPECT_TRUE(asked);
    EXPECT_TRUE(m_window->isVisible());
    EXPECT_EQ(Tile(0).State(), TileState::Running);

    asked = false;
    {
        auto answer = AnswerNextQuestion("是", &asked);
        m_window->close();
    }
    EXPECT_TRUE(asked);
    // The window stays responsive while the slot stops, and closes after.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_window->isVisible(); }, kUnitWaitMs));
    ASSERT_GT(Records().topLevelItemCount(), 0);
    EXPECT_TRUE(Records().topLevelItem(0)->text(3).contains("已中止"));
    EXPECT_EQ(Tile(0).State(), TileState::Failed);
    EXPECT_TRUE(TileText(Tile(0), "tileState").contains("中止"));
}

// The report button writes the shift of now beside the store and hands the
// file to the desktop to open.
TEST_F(StationWindowTest, ShiftReportButtonWritesTheShiftAndOpensIt) {
    StartPassingAndFailingBoxes();
    Open({{"A", "COM3"}, {"B", "COM4"}}, [](IRecordStore& store, const Recipe& recipe) {
        UnitRecord earlier;
        earlier.id = "earlier-shift";
        earlier.serial = "EARLIER00001";
        earlier.recipeSha256 = recipe.sha256;
        earlier.result = UnitResult::Fail;
        const auto start = std::chrono::system_clock::now() - std::chrono::hours(13);
        earlier.startTime = RecordTimeText(start);
        earlier.endTime = RecordTimeText(start + std::chrono::seconds(30));
        std::string error;
        ASSERT_TRUE(Inserted(store.Insert(earlier, false)));
    });
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return Tile(0).State() == TileState::Passed && Tile(1).State() == TileState::Failed;
        },
        kUnitWaitMs));

    CUrlCatcher desktop;
    Part<QPushButton>(*m_window, "shiftReport").click();
    const std::string path = ReportPath();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !desktop.urls.empty(); }, kUnitWaitMs));
    ASSERT_EQ(desktop.urls.size(), 1u);
    EXPECT_EQ(desktop.urls.front(), QUrl::fromLocalFile(QString::fromStdString(path)));
    const std::string page = ReadWholeFile(path);
    // This shift's two units, one passed and one failed, and not the earlier one.
    const std::string shift = ShiftOf(m_shifts, std::chrono::system_clock::now()).label;
    EXPECT_NE(page.find("<td>" + shift +
                        "</td><td class=\"num\">2</td><td class=\"num\">1</td>"
                        "<td class=\"num\">1</td>"),
              std::string::npos)
        << shift;
    EXPECT_NE(page.find("1234AB005E02"), std::string::npos);
    EXPECT_EQ(page.find("EARLIER00001"), std::string::npos);
    EXPECT_TRUE(Message().contains(QString::fromStdString(path))) << Message().toStdString();
}

TEST_F(StationWindowTest, ShiftReportThatCannotBeWrittenSaysWhy) {
    Open({{"A", "COM3"}});
    const std::string path = ReportPath();
    std::filesystem::create_directory(path);
    CUrlCatcher desktop;
    bool told = false;
    auto answer = OnNextWindow([&](QWidget* window) {
        auto* box = qobject_cast<QMessageBox*>(window);
        ASSERT_NE(box, nullptr);
        told = true;
        EXPECT_TRUE(box->text().startsWith("无法写入班次报告")) << box->text().toStdString();
        EXPECT_TRUE(box->text().contains(QString::fromStdString(path)));
        EXPECT_TRUE(box->informativeText().contains("是文件夹,不是文件"))
            << box->informativeText().toStdString();
        // The technical cause is behind the details button.
        EXPECT_FALSE(box->detailedText().isEmpty());
        ASSERT_NE(box->defaultButton(), nullptr);
        EXPECT_EQ(box->defaultButton()->text(), "确定");
        box->defaultButton()->click();
    });
    auto& button = Part<QPushButton>(*m_window, "shiftReport");
    button.click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return told; }, kUnitWaitMs));
    EXPECT_TRUE(desktop.urls.empty());
    EXPECT_TRUE(button.isEnabled());
}

// A window that goes while its lookup, search and report still run joins
// them all, and none of their answers comes after it.
TEST_F(StationWindowTest, GoingWithWorkUnderWayJoinsItAll) {
    Open({{"A", "COM3"}});
    CUrlCatcher desktop;
    Scan("V-B2");
    auto& search = Part<QLineEdit>(*m_window, "recordSearch");
    QTest::keyClicks(&search, "1234AB005E01");
    QTest::keyClick(&search, Qt::Key_Return);
    Part<QPushButton>(*m_window, "shiftReport").click();
    m_window.reset();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    EXPECT_TRUE(desktop.urls.empty());
}

// The window on the line's screens (ctest runs these on 1280 x 1024 and on
// 1366 x 768; the screen is whatever the platform gives).
class StationScreenTest : public StationWindowTest {
protected:
    // Wholly inside the window and on the screen: nothing to scroll or move
    // the window for.
    static void ExpectInView(const QWidget& part, const char* what) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(part.isVisible());
        EXPECT_EQ(part.visibleRegion().boundingRect(), part.rect());
        const QRect onScreen(part.mapToGlobal(QPoint(0, 0)), part.size());
        EXPECT_TRUE(part.screen()->availableGeometry().contains(onScreen))
            << onScreen.x() << "," << onScreen.y() << " " << onScreen.width() << "x"
            << onScreen.height();
    }

    void ShowMaximized() {
        m_window->showMaximized();
        const QRect work = m_window->screen()->availableGeometry();
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_window->frameGeometry() == work; }, 5000))
            << m_window->width() << "x" << m_window->height();
    }
};

TEST_F(StationScreenTest, FourSlotsFitTheScreen) {
    StartPassingAndFailingBoxes();
    Open({{"A", "COM3"}, {"B", "COM4"}, {"C", "COM5"}, {"D", "COM6"}});
    const QRect work = m_window->screen()->availableGeometry();
    const QSize least = m_window->minimumSizeHint();
    EXPECT_LE(least.width(), work.width());
    EXPECT_LE(least.height(), work.height());
    ASSERT_NO_FATAL_FAILURE(ShowMaximized());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return Tile(0).State() == TileState::Passed && Tile(1).State() == TileState::Failed;
        },
        kUnitWaitMs));
    QTest::qWait(0);

    for (std::size_t i = 0; i < 4; ++i)
        ExpectInView(Tile(i), "tile");
    // One row of four.
    EXPECT_EQ(Tile(3).y(), Tile(0).y());
    ExpectInView(Part<QLineEdit>(*m_window, "scanField"), "scan field");
    ExpectInView(Part<QLabel>(*m_window, "meanCycle"), "counters");
    ExpectInView(Part<QPushButton>(*m_window, "shiftReport"), "report button");
    ExpectInView(Records(), "record list");
    ExpectInView(Part<QPlainTextEdit>(*m_window, "recordDetail"), "record detail");
    EXPECT_GE(Records().viewport()->height(), 3 * Records().fontMetrics().height());
}

TEST_F(StationScreenTest, MoreSlotsWrapIntoRowsWithinReach) {
    std::vector<StationSlot> fixtureSlots;
    for (int i = 0; i < 8; ++i)
        fixtureSlots.push_back(
            {std::string(1, static_cast<char>('A' + i)), "COM" + std::to_string(3 + i)});
    Open(fixtureSlots);
    ASSERT_NO_FATAL_FAILURE(ShowMaximized());

    EXPECT_EQ(Tile(4).x(), Tile(0).x());
    EXPECT_GE(Tile(4).y(), Tile(0).y() + Tile(0).height());
    ExpectInView(Part<QLineEdit>(*m_window, "scanField"), "scan field");
    ExpectInView(Records(), "record list");
    auto& area = Part<QScrollArea>(*m_window, "tileArea");
    for (std::size_t i = 0; i < fixtureSlots.size(); ++i) {
        area.ensureWidgetVisible(&Tile(i), 0, 0);
        QTest::qWait(0);
        ExpectInView(Tile(i), fixtureSlots[i].name.c_str());
    }
}

TEST(StationLaunchArgs, CommandLine) {
    struct Case {
        std::vector<const char*> args;
        bool ok;
        const char* recipe;
        const char* slotsFile;
        const char* db;
        std::vector<int> shifts;  // minutes; empty: the default schedule
    };
    const Case cases[] = {
        {{"--station", "a.toml"}, true, "a.toml", nullptr, nullptr, {}},
        {{"--slots", "s.toml", "--station", "a.toml", "--db", "x.db"},
         true,
         "a.toml",
         "s.toml",
         "x.db",
         {}},
        {{"--station", "a.toml", "--shifts", "07:00,19:30"},
         true,
         "a.toml",
         nullptr,
         nullptr,
         {7 * 60, 19 * 60 + 30}},
        {{"--station"}, false, nullptr, nullptr, nullptr, {}},
        {{"--station", "a.toml", "--slots"}, false, nullptr, nullptr, nullptr, {}},
        {{"--slots", "s.toml"}, false, nullptr, nullptr, nullptr, {}},
        {{"--station", "a.toml", "--port", "3"}, false, nullptr, nullptr, nullptr, {}},
        {{"--station", "a.toml", "--shifts", "19:00,07:00"}, false, nullptr, nullptr, nullptr, {}},
    };
    for (const Case& c : cases) {
        std::vector<char*> argv{const_cast<char*>("vornak")};
        for (const char* a : c.args)
            argv.push_back(const_cast<char*>(a));
        SCOPED_TRACE(c.args.size() > 1 ? c.args[1] : c.args[0]);
        EXPECT_TRUE(WantsStationWindow(static_cast<int>(argv.size()), argv.data()) ||
                    std::string(c.args[0]) != "--station");
        StationLaunch launch;
        std::string error;
        EXPECT_EQ(ParseStationLaunch(static_cast<int>(argv.size()), argv.data(), launch, error),
                  c.ok)
            << error;
        if (!c.ok) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(launch.recipePath, c.recipe);
        EXPECT_EQ(launch.slotsFile.value_or(""), c.slotsFile != nullptr ? c.slotsFile : "");
        EXPECT_EQ(launch.dbUrl.value_or(""), c.db != nullptr ? c.db : "");
        EXPECT_EQ(launch.shifts.startMinutes,
                  c.shifts.empty() ? ShiftSchedule{}.startMinutes : c.shifts);
    }

    // A bundle's trust folder and rollback; --trust needs its folder.
    std::vector<char*> argv;
    for (const char* a :
         {"vornak", "--station", "b.vbundle", "--allow-rollback", "--trust", "keys"})
        argv.push_back(const_cast<char*>(a));
    StationLaunch launch;
    std::string error;
    ASSERT_TRUE(ParseStationLaunch(static_cast<int>(argv.size()), argv.data(), launch, error))
        << error;
    EXPECT_EQ(launch.recipePath, "b.vbundle");
    EXPECT_EQ(launch.trustFolder.value_or(""), "keys");
    EXPECT_TRUE(launch.allowRollback);
    EXPECT_FALSE(ParseStationLaunch(static_cast<int>(argv.size()) - 1, argv.data(), launch, error));
}

// "--name=VALUE" as "--name VALUE"; a repeated option's last value counts;
// a stray word, --help (the station has none) and an empty value are refused;
// a wrong line that names --station still asks for the station window.
TEST(StationLaunchArgs, ValueFormsRepeatsAndRefusals) {
    struct Case {
        std::vector<const char*> args;
        bool wants;
        const char* recipe;  // null: refused
        const char* db;
    };
    const Case cases[] = {
        {{"--station=a.toml", "--db=x.db"}, true, "a.toml", "x.db"},
        {{"--station", "a.toml", "--station", "b.toml", "--db", "x.db", "--db", "y.db"},
         true,
         "b.toml",
         "y.db"},
        {{"--station", "a.toml", "extra"}, true, nullptr, nullptr},
        {{"--station", "a.toml", "--help"}, true, nullptr, nullptr},
        {{"--station", "a.toml", "--db="}, true, nullptr, nullptr},
        {{"--station="}, true, nullptr, nullptr},
        {{"--bogus", "--station", "a.toml"}, true, nullptr, nullptr},
        {{"--station", "a.toml", "--allow-rollback=1"}, true, nullptr, nullptr},
        {{"--db", "x.db"}, false, nullptr, nullptr},
        {{"--bogus"}, false, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        std::vector<char*> argv{const_cast<char*>("vornak")};
        for (const char* a : c.args)
            argv.push_back(const_cast<char*>(a));
        SCOPED_TRACE(testing::PrintToString(c.args));
        EXPECT_EQ(WantsStationWindow(static_cast<int>(argv.size()), argv.data()), c.wants);
        StationLaunch launch;
        std::string error;
        const bool ok =
            ParseStationLaunch(static_cast<int>(argv.size()), argv.data(), launch, error);
        EXPECT_EQ(ok, c.recipe != nullptr) << error;
        if (!ok) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(launch.recipePath, c.recipe);
        EXPECT_EQ(launch.dbUrl.value_or(""), c.db);
    }
}

// A station window opened from the main window closes before it: the main
// window's close first closes the station (which stops its slots) and stays.
TEST_F(WindowFixture, StationWindowClosesBeforeTheMainWindow) {
    Open();
    WriteTextFile("a.toml", RecipeText("V-A1", false));
    StationLaunch launch;
    launch.recipePath = (m_workDir / "a.toml").string();
    std::string error;
    QPointer<CStationWindow> station = MakeStationWindow(launch, error, m_window.get());
    ASSERT_TRUE(station) << error;
    station->setAttribute(Qt::WA_DeleteOnClose);
    QSignalSpy started(station.data(), &CStationWindow::groupStarted);
    station->show();
    ASSERT_TRUE(!started.isEmpty() || started.wait(kUnitWaitMs));

    m_window->close();
    EXPECT_TRUE(m_window->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return station.isNull(); }, kUnitWaitMs));
    m_window->close();
    EXPECT_FALSE(m_window->isVisible());
}

#include "station_window_test.moc"
