#include "firmware/firmware_update.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "firmware/upgrade_runner.h"
#include "firmware_sim_fixture.h"
#include "link/command_codes.h"
#include "link/frame_codec.h"

namespace {

constexpr char kLoading[] = "正在装载程序,请稍候....";
constexpr char kUpdating[] = "正在更新固件...";
constexpr char kRefreshed[] = "固件刷新成功!";
constexpr char kIncomplete[] = "读取文件数据不完整!";
constexpr char kNewVersion[] = "VBX-100 V3.0.0";
// Serial number the simulator reports, in hexadecimal.
constexpr char kSimSerialHex[] = "1234AB005E01";

std::string Progress(std::uint32_t done, std::uint32_t total) {
    return "正在下载数据" + std::to_string(done) + "/" + std::to_string(total) + "  ....";
}

// 128 header bytes and `dataSize` data bytes, opening with `first` and `second`.
Bytes PackageStartingWith(std::uint8_t first, std::uint8_t second, std::size_t dataSize) {
    Bytes p(128 + dataSize);
    for (std::size_t i = 0; i < p.size(); ++i)
        p[i] = static_cast<std::uint8_t>(i * 13 + 1);
    p[0] = first;
    p[1] = second;
    return p;
}

using UpgradeTest = FirmwareSimTest;

struct SizeCase {
    std::size_t dataSize;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> packets;  // data offset, length
    std::vector<std::string> progressTexts;
};

TEST_F(UpgradeTest, SendsDataInPacketsAndReidentifies) {
    const SizeCase cases[] = {
        {0, {{0, 0}}, {}},
        {300, {{0, 256}, {256, 44}}, {Progress(256, 300)}},
        {1024,
         {{0, 256}, {256, 256}, {512, 256}, {768, 256}},
         {Progress(256, 1024), Progress(512, 1024), Progress(768, 1024)}},
    };
    StartBox();
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(c.dataSize);
        m_sim.ClearRequests();
        m_model->SetItemText(IDC_VERSION, "old");
        m_model->SetItemText(IDC_SERIAL, "old");
        m_log.Clear();
        const Bytes package = MakeSamplePackage(kNewVersion, c.dataSize);
        AddPackage("size" + std::to_string(c.dataSize) + ".pkg", package);

        RunUpgrade(*m_host, QuickUpgradeTiming());

        // The request sequence as a whole.
        std::vector<std::uint16_t> expected = {CMD_PREPARE_A, CMD_PREPARE_B, CMD_UPGRADE_BEGIN};
        expected.insert(expected.end(), c.packets.size(), CMD_UPGRADE_DATA);
        expected.insert(expected.end(),
                        {CMD_UPGRADE_END, CMD_UPGRADE_COMMIT, CMD_GET_VERSION, CMD_GET_SERIAL,
                         CMD_GET_VERSION, CMD_GET_VERSION, CMD_GET_SERIAL, CMD_FACTORY_RESET});
        EXPECT_EQ(Commands(), expected);

        const auto data = RequestsOf(CMD_UPGRADE_DATA);
        ASSERT_EQ(data.size(), c.packets.size());
        for (std::size_t i = 0; i < data.size(); ++i) {
            ASSERT_GE(data[i].data.size(), 6u);
            EXPECT_EQ(ReadBigEndian32(&data[i].data[0]), c.packets[i].first) << i;
            EXPECT_EQ(ReadBigEndian16(&data[i].data[4]), c.packets[i].second) << i;
            EXPECT_EQ(data[i].data.size(), c.packets[i].second + 6u) << i;
        }
        EXPECT_EQ(m_sim.UpgradeHeader(), Bytes(package.begin(), package.begin() + 32));
        EXPECT_EQ(m_sim.UpgradeData(), Bytes(package.begin() + 32, package.end()));

        std::vector<std::string> texts = {kLoading};
        texts.insert(texts.end(), c.progressTexts.begin(), c.progressTexts.end());
        texts.insert(texts.end(), {kUpdating, kRefreshed});
        EXPECT_EQ(m_log.Texts(IDC_STATUS), texts);
        // Fields emptied (serial first), then refilled.
        EXPECT_EQ(m_log.Texts(IDC_SERIAL), (std::vector<std::string>{"", kSimSerialHex}));
        EXPECT_EQ(m_log.Texts(IDC_VERSION), (std::vector<std::string>{"", kNewVersion}));

        // The transfer's count, then a busy bar while the box restarts.
        EXPECT_EQ(m_log.Visibility(IDC_PROGRESS), (std::vector<bool>{true, false, true, false}));
        std::vector<std::pair<long long, long long>> progress;
        for (std::size_t i = 0; i + 1 < c.packets.size(); ++i) {
            progress.emplace_back(c.packets[i + 1].first, c.dataSize);
        }
        progress.emplace_back(0, kProgressBusy);
        EXPECT_EQ(m_log.Progress(), progress);
    }
    EXPECT_EQ(m_sim.CommitCount(), 3);
}

TEST_F(UpgradeTest, HeaderLengthFollowsTheSignature) {
    struct Case {
        const char* name;
        Bytes package;
        std::size_t header;
    };
    Bytes shortSignature = MakeSamplePackage(kNewVersion, 40);
    const Case cases[] = {
        {"C9 49", shortSignature, 32},
        {"C9 then another byte", PackageStartingWith(0xC9, 0x48, 40), 128},
        {"another first byte", PackageStartingWith(0x49, 0x49, 40), 128},
        {"49 C9", PackageStartingWith(0x49, 0xC9, 40), 128},
    };
    StartBox();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_sim.ClearRequests();
        AddPackage(std::string(c.name) + ".pkg", c.package);
        RunUpgrade(*m_host, QuickUpgradeTiming());
        const auto begin = RequestsOf(CMD_UPGRADE_BEGIN);
        ASSERT_EQ(begin.size(), 1u);
        EXPECT_EQ(begin[0].data, Bytes(c.package.begin(), c.package.begin() + c.header));
        EXPECT_EQ(m_sim.UpgradeData(), Bytes(c.package.begin() + c.header, c.package.end()));
        EXPECT_EQ(Text(IDC_STATUS), kRefreshed);
    }
}

TEST_F(UpgradeTest, TransferWord0004IsEnoughForHeaderAndDataButNotCommit) {
    struct Case {
        const char* name;
        std::vector<std::uint16_t> commands;  // answered with 0x0004
        std::string finalStatus;
        bool reidentified;
    };
    const Case cases[] = {
        {"header and data", {CMD_UPGRADE_BEGIN, CMD_UPGRADE_DATA}, kRefreshed, true},
        {"commit", {CMD_UPGRADE_COMMIT}, "wErr=EE00; Code=0004; wLen=0002;", false},
    };
    StartBox();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_sim.ClearOverrides();
        m_sim.ClearRequests();
        for (std::uint16_t command : c.commands) {
            SimOverride o;
            o.resultWord = 0x0004;
            m_sim.SetOverride(command, o);
        }
        m_model->SetItemText(IDC_VERSION, "old version");
        m_model->SetItemText(IDC_SERIAL, "old serial");
        AddPackage(std::string(c.name) + ".pkg", MakeSamplePackage(kNewVersion, 600));

        RunUpgrade(*m_host, QuickUpgradeTiming());

        EXPECT_EQ(Text(IDC_STATUS), c.finalStatus);
        EXPECT_EQ(RequestsOf(CMD_UPGRADE_DATA).size(), 3u);
        EXPECT_EQ(RequestsOf(CMD_GET_VERSION).empty(), !c.reidentified);
        EXPECT_EQ(Text(IDC_VERSION), c.reidentified ? kNewVersion : "old version");
        EXPECT_EQ(Text(IDC_SERIAL), c.reidentified ? kSimSerialHex : "old serial");
        EXPECT_FALSE(m_model->IsItemVisible(IDC_PROGRESS));
    }
}

TEST_F(UpgradeTest, RefusedTransferEndsWithTheFailureReport) {
    struct Case {
        const char* name;
        std::uint16_t command;
        SimOverride reply;
        std::string report;
        std::vector<std::uint16_t> notSent;
    };
    SimOverride refused;
    refused.resultWord = 0x1234;
    SimOverride corrupted;
    corrupted.badChecksum = true;
    SimOverride shortReply;
    shortReply.rawPayload = Bytes{0x00, 0x04};
    // A reply that never arrives leaves Code and wLen at the last reply that did
    // (the prepare request's: EE00 with two data bytes).
    const Case cases[] = {
        {"data refused",
         CMD_UPGRADE_DATA,
         refused,
         "wErr=EE00; Code=1234; wLen=0002;",
         {CMD_UPGRADE_END, CMD_UPGRADE_COMMIT}},
        {"header corrupted",
         CMD_UPGRADE_BEGIN,
         corrupted,
         "wErr=EF03; Code=EE00; wLen=0002;",
         {CMD_UPGRADE_DATA, CMD_UPGRADE_END, CMD_UPGRADE_COMMIT}},
        {"commit without data bytes",
         CMD_UPGRADE_COMMIT,
         shortReply,
         "wErr=EE00; Code=0004; wLen=0000;",
         {CMD_GET_VERSION, CMD_FACTORY_RESET}},
    };
    StartBox();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_sim.ClearOverrides();
        m_sim.ClearRequests();
        m_sim.SetOverride(c.command, c.reply);
        AddPackage(std::string(c.name) + ".pkg", MakeSamplePackage(kNewVersion, 300));

        RunUpgrade(*m_host, QuickUpgradeTiming());

        EXPECT_EQ(Text(IDC_STATUS), c.report);
        for (std::uint16_t command : c.notSent)
            EXPECT_TRUE(RequestsOf(command).empty()) << command;
        EXPECT_FALSE(m_model->IsItemVisible(IDC_PROGRESS));
    }
}

TEST_F(UpgradeTest, ReportBeforeAnyReplyShowsZeroCodeAndLength) {
    // No box on any port: every request fails before a reply could arrive.
    AddPackage("a.pkg", MakeSamplePackage(kNewVersion, 10));
    RunUpgrade(*m_host, QuickUpgradeTiming());
    EXPECT_EQ(Text(IDC_STATUS), "wErr=EF00; Code=0000; wLen=0000;");
}

TEST_F(UpgradeTest, LoadingFailuresSendNothing) {
    struct Case {
        const char* name;
        const char* entry;  // nullptr: nothing selected
        std::optional<Bytes> contents;
        std::string status;
    };
    const Case cases[] = {
        {"nothing selected", nullptr, std::nullopt, "无法打开程序文件:./Prg/"},
        {"missing package", "gone.pkg", std::nullopt, "无法打开程序文件:./Prg/gone.pkg"},
        {"folder named like a package", "dir.pkg", std::nullopt, "无法打开程序文件:./Prg/dir.pkg"},
        {"shorter than its short header", "s.pkg", Bytes{0xC9, 0x49, 1, 2, 3}, kIncomplete},
        {"shorter than its long header", "l.pkg", Bytes(100, 0x11), kIncomplete},
        {"empty package", "e.pkg", Bytes{}, kIncomplete},
    };
    std::filesystem::create_directory("Prg/dir.pkg");
    StartBox();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_log.Clear();
        if (c.entry == nullptr) {
            m_model->ComboSetCurSel(IDC_PACKAGE_LIST, -1);
        } else if (c.contents) {
            AddPackage(c.entry, *c.contents);
        } else {
            m_model->ComboInsert(IDC_PACKAGE_LIST, 0, c.entry);
            m_model->ComboSetCurSel(IDC_PACKAGE_LIST, 0);
        }
        RunUpgrade(*m_host, QuickUpgradeTiming());
        EXPECT_EQ(m_log.Texts(IDC_STATUS), (std::vector<std::string>{kLoading, c.status}));
        EXPECT_TRUE(m_log.Visibility(IDC_PROGRESS).empty());
    }
    EXPECT_TRUE(m_sim.Requests().empty());
}

// A package given by path is sent from there; the package list is not read,
// and a path that can't be opened is named as given.
TEST_F(UpgradeTest, PackageGivenByPathOutsidePrg) {
    std::filesystem::create_directory("elsewhere");
    const Bytes package = MakeSamplePackage(kNewVersion, 300);
    WriteFile("elsewhere/v3.pkg", package);
    m_model->ComboSetCurSel(IDC_PACKAGE_LIST, -1);
    StartBox();

    RunUpgradeFromPath(*m_host, "elsewhere/v3.pkg", QuickUpgradeTiming());
    EXPECT_EQ(StatusTexts().back(), kRefreshed);
    EXPECT_EQ(m_sim.UpgradeData(), Bytes(package.begin() + 32, package.end()));
    EXPECT_EQ(Text(IDC_VERSION), kNewVersion);

    m_log.Clear();
    m_sim.ClearRequests();
    RunUpgradeFromPath(*m_host, "elsewhere/none.pkg", QuickUpgradeTiming());
    EXPECT_EQ(StatusTexts(),
              (std::vector<std::string>{kLoading, "无法打开程序文件:elsewhere/none.pkg"}));
    EXPECT_TRUE(m_sim.Requests().empty());
}

TEST_F(UpgradeTest, StepsAfterTheCommitOnlyChooseTheirText) {
    struct Case {
        const char* name;
        std::uint16_t command;
        SimOverride reply;
        std::string errorText;
        std::string finalStatus;
        std::string serial;
    };
    SimOverride refused;
    refused.resultWord = 0x1234;
    SimOverride noData;
    noData.rawPayload = Bytes{0xEE, 0x00};
    const Case cases[] = {
        {"factory reset refused", CMD_FACTORY_RESET, refused, "错误:1234", "错误:1234",
         kSimSerialHex},
        {"serial without data", CMD_GET_SERIAL, noData, "错误:EE00", kRefreshed, ""},
    };
    StartBox();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_sim.ClearOverrides();
        m_sim.ClearRequests();
        m_log.Clear();
        m_sim.SetOverride(c.command, c.reply);
        AddPackage(std::string(c.name) + ".pkg", MakeSamplePackage(kNewVersion, 20));

        RunUpgrade(*m_host, QuickUpgradeTiming());

        const auto texts = m_log.Texts(IDC_STATUS);
        EXPECT_NE(std::find(texts.begin(), texts.end(), c.errorText), texts.end());
        EXPECT_EQ(texts.back(), c.finalStatus);
        EXPECT_EQ(Text(IDC_VERSION), kNewVersion);
        EXPECT_EQ(Text(IDC_SERIAL), c.serial);
        EXPECT_EQ(RequestsOf(CMD_FACTORY_RESET).size(), 1u);
    }
}

using UpgradeRunnerTest = FirmwareSimTest;

TEST_F(UpgradeRunnerTest, SecondStartWhileRunningDoesNothing) {
    StartBox();
    AddPackage("a.pkg", MakeSamplePackage(kNewVersion, 300));
    UpgradeTiming slow = QuickUpgradeTiming();
    slow.prepareSettleMs = 300;  // keeps the first run busy while we press again

    CUpgradeRunner runner;
    ASSERT_TRUE(runner.Start(m_host, slow).valid());
    EXPECT_TRUE(runner.IsRunning());
    EXPECT_FALSE(runner.Start(m_host, slow).valid());
    ASSERT_TRUE(runner.Wait(20000));
    EXPECT_FALSE(runner.IsRunning());
    EXPECT_EQ(RequestsOf(CMD_PREPARE_A).size(), 1u);
    EXPECT_EQ(Text(IDC_STATUS), kRefreshed);

    // Idle again: a new press starts a new update.
    ASSERT_TRUE(runner.Start(m_host, QuickUpgradeTiming()).valid());
    ASSERT_TRUE(runner.Wait(20000));
    EXPECT_EQ(m_sim.CommitCount(), 2);
}

TEST_F(UpgradeRunnerTest, WorkerThatEndsAtOnceLeavesTheRunnerIdle) {
    CUpgradeRunner runner;
    for (int press = 0; press < 3; ++press) {
        ASSERT_TRUE(runner.Start(m_host, QuickUpgradeTiming()).valid()) << press;
        ASSERT_TRUE(runner.Wait(5000)) << press;
        EXPECT_FALSE(runner.IsRunning());
    }
    EXPECT_EQ(Text(IDC_STATUS), "无法打开程序文件:./Prg/");
}

// A host that tells when the worker has let go of it.
class CNotifyingHost : public CModelHost {
public:
    using CModelHost::CModelHost;
    ~CNotifyingHost() override { m_released.set_value(); }
    std::future<void> Released() { return m_released.get_future(); }

private:
    std::promise<void> m_released;
};

TEST_F(UpgradeRunnerTest, DialogGoneWhileTheWorkerRunsIsSafe) {
    StartBox();
    std::future<void> done;
    {
        // Everything the dialog owns goes away while the update is in progress.
        auto model = std::make_shared<CDialogModel>();
        model->ComboInsert(IDC_PACKAGE_LIST, -1, "a.pkg");
        model->ComboSetCurSel(IDC_PACKAGE_LIST, 0);
        WriteFile("Prg/a.pkg", MakeSamplePackage(kNewVersion, 2000));
        auto runner = std::make_unique<CUpgradeRunner>();
        auto host = std::make_shared<CNotifyingHost>(model, &m_link);
        done = host->Released();
        ASSERT_TRUE(runner->Start(std::move(host), QuickUpgradeTiming()).valid());
        ASSERT_TRUE(m_sim.WaitForRequestCount(1, std::chrono::seconds(5)));
    }
    ASSERT_EQ(done.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_EQ(m_sim.CommitCount(), 1);
    EXPECT_EQ(RequestsOf(CMD_FACTORY_RESET).size(), 1u);
}

}  // namespace
