// The settings panel's handlers over a pseudo-terminal to the box simulator,
// with a headless dialog model as the window.

#include "device/settings_panel.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/panel_layout.h"
#include "app/vornak_dlg.h"
#include "boxsim/box_simulator.h"
#include "dialog/dialog_model.h"
#include "dialog/model_host.h"
#include "layouts/option_table.h"
#include "link/command_codes.h"
#include "link/device_link.h"
#include "link/status_words.h"
#include "res/resource.h"
#include "settings_vectors.h"
#include "tests/support/temp_port_dir.h"

namespace {

using Strings = std::vector<std::string>;

// Block digits as Read settings shows them.
const std::string kOffHex1 = "000000000F1E1E050000000000000000";
const std::string kOffHex2 = "070707070C0C00010101000F0000000000000000";
const std::string kOnHex1 = "FD7FFFFF0F1E1E1E0F00000000000000";
const std::string kOnHex2 = "0F50505028280032141404640000000000000000";

const std::string kWriteOk = "写入设置成功";
const std::string kNeedsRead = "请先读出设置:有选项未选择";
const std::string kResetOk = "恢复出厂设置成功";

constexpr int kBoxPort = 3;
// Left plus right border of the model's window, so client width = outer - this.
constexpr int kFrame = 16;

SimOverride Result(std::uint16_t word) {
    SimOverride o;
    o.resultWord = word;
    o.times = 1;
    return o;
}

SimOverride Raw(const Bytes& payload) {
    SimOverride o;
    o.rawPayload = payload;
    o.times = 1;
    return o;
}

SimOverride Data(const Bytes& data) {
    SimOverride o;
    o.replyData = data;
    o.times = 1;
    return o;
}

SimOverride Silent() {
    SimOverride o;
    o.silent = true;
    o.times = 1;
    return o;
}

class SettingsPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_sim.Start(m_portDir, kBoxPort));
        // Connected up front, so that the scan's probes are not among the
        // requests a test looks at.
        std::uint8_t com = 0;
        ASSERT_EQ(m_link.ScanPorts(&com), ST_OK);
        ASSERT_EQ(com, kBoxPort);

        m_model->SetFrameWidth(kFrame);
        m_model->SetObserver([this](const ControlEvent& e) {
            if (e.kind == ControlEvent::Kind::Text && e.id == IDC_STATUS) {
                m_status.push_back(e.text);
            }
            if (e.kind == ControlEvent::Kind::Items)
                m_filled.push_back(e.id);
        });
        m_model->ResizeWindow(kSmallWindowWidth, kSmallWindowHeight);
        m_model->SetItemText(IDC_ADVANCED_TOGGLE, kTextToggleOpen);
        FillOptionLists(*m_model);
    }

    void TearDown() override {
        m_model->SetObserver(nullptr);
        m_link.Disconnect();
        m_sim.Stop();
    }

    void SetBoxBlocks(const Bytes& b1, const Bytes& b2, const Bytes& b3) {
        m_sim.SetConfigBlock(1, b1);
        m_sim.SetConfigBlock(2, b2);
        m_sim.SetConfigBlock(3, b3);
    }

    void SetAllControls(const DeviceSettings& s) {
        for (int block = 1; block <= 3; ++block)
            SetBlockControls(*m_model, s, block);
    }

    // Status texts from here on.
    void StartRecording(const std::string& status = "before") {
        m_model->SetItemText(IDC_STATUS, status);
        m_status.clear();
        m_sim.ClearRequests();
    }

    // Each control of `block` shows the record's value.
    void ExpectBlockShows(int block, const DeviceSettings& s, const std::string& context) {
        for (const OptionInfo& o : Options()) {
            if (o.block != block)
                continue;
            if (o.IsFlag()) {
                EXPECT_EQ(m_model->GetCheck(o.controlId), s.*o.flag)
                    << context << ": " << o.field << " (" << o.controlId << ")";
            } else {
                EXPECT_EQ(m_model->ComboGetCurSel(o.controlId), (s.*o.selection).value_or(-1))
                    << context << ": " << o.field << " (" << o.controlId << ")";
            }
        }
    }

    // Each control of `block` shows no value.
    void ExpectBlockShowsNoValue(int block, const std::string& context) {
        for (const OptionInfo& o : Options()) {
            if (o.block != block)
                continue;
            if (o.IsFlag()) {
                EXPECT_TRUE(m_model->IsCheckUnknown(o.controlId))
                    << context << ": " << o.field << " (" << o.controlId << ")";
            } else {
                EXPECT_EQ(m_model->ComboGetCurSel(o.controlId), -1)
                    << context << ": " << o.field << " (" << o.controlId << ")";
            }
        }
    }

    std::string Status() const { return m_model->GetItemText(IDC_STATUS); }

    CTempPortDir m_ports{"settings"};
    std::string m_portDir{m_ports.Path()};
    CBoxSimulator m_sim;
    CDeviceLink m_link;
    std::shared_ptr<CDialogModel> m_model = std::make_shared<CDialogModel>();
    CModelHost m_host{m_model, &m_link};
    // The advanced toggle is the dialog's: it resizes the window, then reads.
    CVornakDlg m_dlg{m_model, &m_link};
    Strings m_status;
    std::vector<int> m_filled;
};

TEST_F(SettingsPanelTest, FillsEveryListInOrderAndSelectsNothing) {
    std::vector<int> order;
    for (int id : m_filled) {
        if (order.empty() || order.back() != id)
            order.push_back(id);
    }
    EXPECT_EQ(order, std::vector<int>(kComboFillOrder.begin(), kComboFillOrder.end()));
    for (const OptionInfo& o : Options()) {
        if (o.IsFlag()) {
            EXPECT_FALSE(m_model->GetCheck(o.controlId)) << o.field;
            continue;
        }
        ASSERT_EQ(m_model->ComboGetCount(o.controlId), static_cast<int>(o.entries.size()))
            << o.field;
        for (std::size_t i = 0; i < o.entries.size(); ++i) {
            EXPECT_EQ(m_model->ComboGetText(o.controlId, static_cast<int>(i)), o.entries[i].text)
                << o.field;
        }
        EXPECT_EQ(m_model->ComboGetCurSel(o.controlId), -1) << o.field;
    }
    EXPECT_EQ(m_model->ComboGetText(1063, 5), "预留选项2");
    EXPECT_EQ(m_model->ComboGetText(1074, 7), "8.0秒");
    EXPECT_EQ(m_model->ComboGetText(1064, 4), "奥迪两线拉手");
}

TEST_F(SettingsPanelTest, ReadSetsEveryControlAndShowsTwoBlocksOfDigits) {
    struct Case {
        const char* name;
        Bytes blocks[3];
        DeviceSettings shown;
        std::string status;
    };
    // All on first, so that the second read has to clear every control.
    const Case cases[] = {
        {"all on", {kOnBlock1, kOnBlock2, kOnBlock3}, AllOnLastEntry(), kOnHex1 + kOnHex2},
        {"all off", {kOffBlock1, kOffBlock2, kOffBlock3}, AllOffFirstEntry(), kOffHex1 + kOffHex2},
    };
    for (const Case& c : cases) {
        SetBoxBlocks(c.blocks[0], c.blocks[1], c.blocks[2]);
        StartRecording();
        OnBnClickedReadSettings(m_host);
        for (int block = 1; block <= 3; ++block)
            ExpectBlockShows(block, c.shown, c.name);
        EXPECT_EQ(Status().size(), 72u) << c.name;
        EXPECT_EQ(m_status, (Strings{"", c.status})) << c.name;
    }
}

TEST_F(SettingsPanelTest, FindCarBoxesShowTheirOwnBits) {
    struct Case {
        std::uint8_t byte0;
        bool sound;  // check box 1038
        bool light;  // check box 1043
    };
    for (const Case& c : {Case{0x40, true, false}, Case{0x80, false, true}}) {
        Bytes block1 = kOffBlock1;
        block1[0] = c.byte0;
        SetBoxBlocks(block1, kOffBlock2, kOffBlock3);
        OnBnClickedReadSettings(m_host);
        EXPECT_EQ(m_model->GetCheck(1038), c.sound) << int(c.byte0);
        EXPECT_EQ(m_model->GetCheck(1043), c.light) << int(c.byte0);
    }
}

// A failed read changes no control of its block and reports as the sequence
// says: a failed first read ahead of the second's digits, a failed second read
// alone, a failed third read after the digits of the first two.
// A block whose read failed shows no value, whatever it showed before (the
// values of another box, maybe), and Write settings refuses to send anything
// until it has values again.
TEST_F(SettingsPanelTest, FailedReadsClearTheirBlockAndReportInOrder) {
    struct Case {
        const char* name;
        std::uint16_t command;
        SimOverride reply;
        Strings status;
        int failedBlock;
    };
    const Case cases[] = {
        {"first read refused",
         CMD_CONFIG_READ_1,
         Result(0x1234),
         {"", "错误:1234", "错误:1234" + kOffHex2},
         1},
        {"first read with 1 data byte",
         CMD_CONFIG_READ_1,
         Raw({0xEE, 0x00, 0x01}),
         {"", "错误:EE00", "错误:EE00" + kOffHex2},
         1},
        {"second read refused", CMD_CONFIG_READ_2, Result(0x5678), {"", "错误:5678"}, 2},
        {"third read refused",
         CMD_CONFIG_READ_3,
         Result(0x9ABC),
         {"", kOffHex1 + kOffHex2, "错误:9ABC"},
         3},
    };
    SetBoxBlocks(kOffBlock1, kOffBlock2, kOffBlock3);
    for (const Case& c : cases) {
        SetAllControls(AllOnLastEntry());
        m_sim.SetOverride(c.command, c.reply);
        StartRecording();
        OnBnClickedReadSettings(m_host);
        EXPECT_EQ(m_status, c.status) << c.name;
        for (int block = 1; block <= 3; ++block) {
            if (block == c.failedBlock)
                ExpectBlockShowsNoValue(block, c.name);
            else
                ExpectBlockShows(block, AllOffFirstEntry(), c.name);
        }

        StartRecording();
        OnBnClickedWriteSettings(m_host);
        EXPECT_EQ(m_status, (Strings{"", kNeedsRead})) << c.name;
        EXPECT_TRUE(m_sim.Requests().empty()) << c.name;
    }
}

// A block without values gets them back from a read of it, or from the
// operator setting every option of it by hand; one option left without a
// value is enough to refuse.
TEST_F(SettingsPanelTest, WriteRunsOnceTheFailedBlockHasValuesAgain) {
    SetBoxBlocks(kOffBlock1, kOffBlock2, kOffBlock3);
    m_sim.SetOverride(CMD_CONFIG_READ_2, Result(0x1234));
    OnBnClickedReadSettings(m_host);
    ExpectBlockShowsNoValue(2, "after the failed read");

    const DeviceSettings byHand = AllOnLastEntry();
    const OptionInfo* lastOfBlock2 = nullptr;
    for (const OptionInfo& o : Options()) {
        if (o.block != 2)
            continue;
        lastOfBlock2 = &o;
        if (o.IsFlag())
            m_model->OperatorSetCheck(o.controlId, byHand.*o.flag);
        else
            m_model->OperatorSetCurSel(o.controlId, *(byHand.*o.selection));
    }
    ASSERT_NE(lastOfBlock2, nullptr);
    // Undo the last one: the block is not whole yet.
    if (lastOfBlock2->IsFlag())
        m_model->SetCheckUnknown(lastOfBlock2->controlId);
    else
        m_model->ComboSetCurSel(lastOfBlock2->controlId, -1);
    StartRecording();
    OnBnClickedWriteSettings(m_host);
    EXPECT_EQ(m_status, (Strings{"", kNeedsRead}));
    EXPECT_TRUE(m_sim.Requests().empty());

    if (lastOfBlock2->IsFlag())
        m_model->OperatorSetCheck(lastOfBlock2->controlId, byHand.*lastOfBlock2->flag);
    else
        m_model->OperatorSetCurSel(lastOfBlock2->controlId, *(byHand.*lastOfBlock2->selection));
    StartRecording();
    OnBnClickedWriteSettings(m_host);
    EXPECT_EQ(m_status, (Strings{"", kWriteOk, kWriteOk, kWriteOk}));
    EXPECT_EQ(m_sim.ConfigBlock(1), kOffBlock1);
    EXPECT_EQ(m_sim.ConfigBlock(2), kOnBlock2);
    EXPECT_EQ(m_sim.ConfigBlock(3), kOffBlock3);

    // And a read of the block gives it values as well.
    m_sim.SetConfigBlock(2, kOffBlock2);
    m_model->SetCheckUnknown(lastOfBlock2->controlId);
    m_model->ComboSetCurSel(lastOfBlock2->controlId, -1);
    OnBnClickedReadSettings(m_host);
    ExpectBlockShows(2, AllOffFirstEntry(), "after a good read");
    StartRecording();
    OnBnClickedWriteSettings(m_host);
    EXPECT_EQ(m_status, (Strings{"", kWriteOk, kWriteOk, kWriteOk}));
}

// A reply that ends inside its block fails the read (it may be a frame the
// box sent on its own), and the block shows no value: not even the part that
// came, beside values from before.
TEST_F(SettingsPanelTest, ShortReadReplyFailsAndLeavesItsBlockWithoutValues) {
    SetBoxBlocks(kOffBlock1, kOffBlock2, kOffBlock3);
    SetAllControls(AllOffFirstEntry());
    m_sim.SetOverride(CMD_CONFIG_READ_1, Data({0x00, 0x00, 0x01, 0xFD, 0x7F}));
    StartRecording();
    OnBnClickedReadSettings(m_host);
    EXPECT_EQ(m_status, (Strings{"", "错误:EF04", "错误:EF04" + kOffHex2}));
    ExpectBlockShowsNoValue(1, "two block bytes");

    // Only the three leading bytes, as in a frame of the box's own (55 AA and
    // a counter). A short third reply is reported too, unlike a refused one.
    struct Case {
        const char* name;
        std::uint16_t command;
        Strings status;
    };
    const Case cases[] = {
        {"first", CMD_CONFIG_READ_1, {"", "错误:EF04", "错误:EF04" + kOffHex2}},
        {"second", CMD_CONFIG_READ_2, {"", "错误:EF04"}},
        {"third", CMD_CONFIG_READ_3, {"", kOffHex1 + kOffHex2, "错误:EF04"}},
    };
    for (int i = 0; i < 3; ++i) {
        const Case& c = cases[i];
        SetAllControls(AllOnLastEntry());
        m_sim.SetOverride(c.command, Data({0x55, 0xAA, 0x07}));
        StartRecording();
        OnBnClickedReadSettings(m_host);
        EXPECT_EQ(m_status, c.status) << c.name;
        for (int block = 1; block <= 3; ++block) {
            if (block == i + 1)
                ExpectBlockShowsNoValue(block, c.name);
            else
                ExpectBlockShows(block, AllOffFirstEntry(), c.name);
        }
    }
}

TEST_F(SettingsPanelTest, WriteSendsTheThreeBlocks) {
    SetAllControls(AllOnLastEntry());
    StartRecording();
    OnBnClickedWriteSettings(m_host);
    EXPECT_EQ(m_status, (Strings{"", kWriteOk, kWriteOk, kWriteOk}));

    const std::vector<SimRequest> requests = m_sim.Requests();
    const std::uint16_t commands[] = {CMD_CONFIG_WRITE_1, CMD_CONFIG_WRITE_2, CMD_CONFIG_WRITE_3};
    const Bytes* blocks[] = {&kOnBlock1, &kOnBlock2, &kOnBlock3};
    ASSERT_EQ(requests.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(requests[i].command, commands[i]);
        EXPECT_EQ(requests[i].subCode, SUB_CONFIG_WRITE);
        EXPECT_EQ(requests[i].data, *blocks[i]) << "block " << i + 1;
        EXPECT_EQ(m_sim.ConfigBlock(i + 1), *blocks[i]) << "block " << i + 1;
    }
}

// Each write runs whatever the one before gave, and each failure shows.
TEST_F(SettingsPanelTest, FailedWritesReportAndTheRestStillRun) {
    struct Case {
        const char* name;
        std::uint16_t command;
        SimOverride reply;
        Strings status;
    };
    const Case cases[] = {
        {"first write unanswered",
         CMD_CONFIG_WRITE_1,
         Silent(),
         {"", "错误:EF03", kWriteOk, kWriteOk}},
        {"first write with 1 data byte",
         CMD_CONFIG_WRITE_1,
         Raw({0xEE, 0x00, 0x01}),
         {"", "错误:EE00", kWriteOk, kWriteOk}},
        {"second write refused",
         CMD_CONFIG_WRITE_2,
         Result(0x1234),
         {"", kWriteOk, "错误:1234", kWriteOk}},
        {"third write refused",
         CMD_CONFIG_WRITE_3,
         Result(0x4321),
         {"", kWriteOk, kWriteOk, "错误:4321"}},
    };
    SetAllControls(AllOnLastEntry());
    for (const Case& c : cases) {
        m_sim.SetOverride(c.command, c.reply);
        StartRecording();
        OnBnClickedWriteSettings(m_host);
        EXPECT_EQ(m_status, c.status) << c.name;
        EXPECT_EQ(m_sim.Requests().size(), 3u) << c.name;
    }
}

TEST_F(SettingsPanelTest, WriteWithAnEmptyOptionIsRefusedBeforeSending) {
    struct Case {
        const char* name;
        int clearedCombo;  // -1: nothing selected anywhere (nothing read yet)
    };
    for (const Case& c : {Case{"nothing read yet", -1}, Case{"door handle cleared", 1064}}) {
        if (c.clearedCombo >= 0) {
            SetAllControls(AllOnLastEntry());
            m_model->ComboSetCurSel(c.clearedCombo, -1);
        }
        StartRecording();
        OnBnClickedWriteSettings(m_host);
        EXPECT_EQ(Status(), "请先读出设置:有选项未选择") << c.name;
        EXPECT_TRUE(m_sim.Requests().empty()) << c.name;
        EXPECT_EQ(m_sim.ConfigBlock(1), kOffBlock1) << c.name;
    }
}

// Boxes swapped between a read and a write: the panel's values are box A's
// until a read of box B gives it B's. Connecting to a box with another serial
// leaves every block without values, and a block whose read of B failed stays
// so; connecting to the same box again keeps them.
TEST_F(SettingsPanelTest, ABoxSwapNeverWritesTheOtherBoxsValues) {
    const Bytes serialA = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60};
    const Bytes serialB = {0x10, 0x20, 0x30, 0x40, 0x50, 0x61};
    const OptionInfo* lockTime = FindOptionByControl(1067);  // 锁车输出时间
    ASSERT_NE(lockTime, nullptr);
    ASSERT_EQ(lockTime->block, 2);
    struct Case {
        const char* name;
        bool otherBox;
        bool block2ReadFails;
    };
    const Case cases[] = {
        {"same box again", false, false},
        {"another box", true, false},
        {"another box, its block 2 unreadable", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Box A: read, change an option, write, disconnect.
        m_sim.SetSerial(serialA);
        SetBoxBlocks(kOffBlock1, kOffBlock2, kOffBlock3);
        m_dlg.OnCommand(IDC_CONNECT);
        m_dlg.OnCommand(IDC_READ_SETTINGS);
        m_model->OperatorSetCurSel(lockTime->controlId, 5);  // 2秒
        StartRecording();
        m_dlg.OnCommand(IDC_WRITE_SETTINGS);
        ASSERT_EQ(m_status, (Strings{"", kWriteOk, kWriteOk, kWriteOk}));
        m_dlg.OnCommand(IDC_DISCONNECT);
        const Bytes writtenToA = m_sim.ConfigBlock(2);
        m_sim.Stop();

        // Box B (or A again) on another port.
        CBoxSimulator other;
        other.SetSerial(c.otherBox ? serialB : serialA);
        ASSERT_TRUE(other.Start(m_portDir, kBoxPort + 1));
        // The same box holds what was written to it.
        const Bytes bBlocks[3] = {c.otherBox ? kOnBlock1 : kOffBlock1,
                                  c.otherBox ? kOnBlock2 : writtenToA,
                                  c.otherBox ? kOnBlock3 : kOffBlock3};
        for (int block = 1; block <= 3; ++block)
            other.SetConfigBlock(block, bBlocks[block - 1]);
        m_dlg.OnCommand(IDC_CONNECT);
        ASSERT_EQ(Status(), "设备连接成功.");

        other.ClearRequests();
        StartRecording();
        m_dlg.OnCommand(IDC_WRITE_SETTINGS);
        if (c.otherBox) {
            EXPECT_EQ(m_status, (Strings{"", kNeedsRead}));
            for (int block = 1; block <= 3; ++block)
                ExpectBlockShowsNoValue(block, "after the connect");
            EXPECT_TRUE(other.Requests().empty());
        } else {
            EXPECT_EQ(m_status, (Strings{"", kWriteOk, kWriteOk, kWriteOk}));
            EXPECT_EQ(other.ConfigBlock(2), writtenToA);
        }

        if (c.block2ReadFails)
            other.SetOverride(CMD_CONFIG_READ_2, Result(0x1234));
        m_dlg.OnCommand(IDC_READ_SETTINGS);
        other.ClearRequests();
        StartRecording();
        m_dlg.OnCommand(IDC_WRITE_SETTINGS);
        if (c.block2ReadFails) {
            ExpectBlockShowsNoValue(2, "after the failed read");
            EXPECT_EQ(m_status, (Strings{"", kNeedsRead}));
            EXPECT_TRUE(other.Requests().empty());
        } else {
            EXPECT_EQ(m_status, (Strings{"", kWriteOk, kWriteOk, kWriteOk}));
        }
        for (int block = 1; block <= 3; ++block)
            EXPECT_EQ(other.ConfigBlock(block), bBlocks[block - 1]) << "block " << block;

        // Back to box A for the next case.
        m_dlg.OnCommand(IDC_DISCONNECT);
        other.Stop();
        ASSERT_TRUE(m_sim.Start(m_portDir, kBoxPort));
    }
}

// An accepted reset is followed by a read of the three blocks, so the panel
// shows the box's factory values and a later Write settings cannot undo the
// reset; a refused one leaves the panel alone.
TEST_F(SettingsPanelTest, FactoryResetReportsAndReadsThePanelBack) {
    struct Case {
        const char* name;
        std::optional<SimOverride> reply;
        Strings status;
        std::vector<std::uint16_t> commands;
    };
    const std::vector<std::uint16_t> resetAndReads = {CMD_FACTORY_RESET, CMD_CONFIG_READ_1,
                                                      CMD_CONFIG_READ_2, CMD_CONFIG_READ_3};
    const Case cases[] = {
        {"accepted", std::nullopt, {"", kResetOk}, resetAndReads},
        {"1 data byte", Raw({0xEE, 0x00, 0x5A}), {"", "错误:EE00"}, {CMD_FACTORY_RESET}},
        {"refused", Result(0x1234), {"", "错误:1234"}, {CMD_FACTORY_RESET}},
    };
    for (int block = 1; block <= 3; ++block)
        m_sim.SetFactoryDefaults(block, block == 1   ? kOffBlock1
                                        : block == 2 ? kOffBlock2
                                                     : kOffBlock3);
    for (const Case& c : cases) {
        SetBoxBlocks(kOnBlock1, kOnBlock2, kOnBlock3);
        SetAllControls(AllOnLastEntry());
        if (c.reply)
            m_sim.SetOverride(CMD_FACTORY_RESET, *c.reply);
        StartRecording();
        OnBnClickedFactoryReset(m_host);
        EXPECT_EQ(m_status, c.status) << c.name;
        const std::vector<SimRequest> requests = m_sim.Requests();
        ASSERT_EQ(requests.size(), c.commands.size()) << c.name;
        for (std::size_t i = 0; i < requests.size(); ++i)
            EXPECT_EQ(requests[i].command, c.commands[i]) << c.name << " " << i;
        EXPECT_EQ(requests[0].subCode, SUB_DEFAULT) << c.name;
        EXPECT_TRUE(requests[0].data.empty()) << c.name;
        const bool readBack = !c.reply.has_value();
        for (int block = 1; block <= 3; ++block)
            ExpectBlockShows(block, readBack ? AllOffFirstEntry() : AllOnLastEntry(), c.name);
        m_sim.ClearOverrides();
    }
}

// A reset accepted but a read-back refused: the refusal shows after the
// reset's success, as the toggle's read shows it.
TEST_F(SettingsPanelTest, FactoryResetReportsAFailedReadBack) {
    m_sim.SetOverride(CMD_CONFIG_READ_2, Result(0x5678));
    StartRecording();
    OnBnClickedFactoryReset(m_host);
    EXPECT_EQ(m_status, (Strings{"", kResetOk, "错误:5678"}));
}

TEST_F(SettingsPanelTest, ToggleWidensThenNarrowsAndReadsEachTime) {
    struct Click {
        std::string caption;
        int width;
        int height;
    };
    const Click clicks[] = {
        {"<<<关闭设置", kLargeWindowWidth, kLargeWindowHeight},
        {"高级设置>>>", kSmallWindowWidth, kSmallWindowHeight},
    };
    SetBoxBlocks(kOnBlock1, kOnBlock2, kOnBlock3);
    for (const Click& c : clicks) {
        SetAllControls(AllOffFirstEntry());
        StartRecording("left by the last operation");
        m_dlg.OnStnClickedAdvancedToggle();
        EXPECT_EQ(m_model->GetItemText(IDC_ADVANCED_TOGGLE), c.caption);
        EXPECT_EQ(m_model->WindowWidth(), c.width);
        EXPECT_EQ(m_model->WindowHeight(), c.height);
        EXPECT_TRUE(m_status.empty()) << "the toggle wrote " << m_status.front();
        EXPECT_EQ(Status(), "left by the last operation");
        EXPECT_EQ(m_sim.Requests().size(), 3u);
        for (int block = 1; block <= 3; ++block)
            ExpectBlockShows(block, AllOnLastEntry(), c.caption);
    }
}

TEST_F(SettingsPanelTest, ToggleThresholdIsClientWidth700) {
    struct Case {
        int clientWidth;
        int expectedWidth;
    };
    for (const Case& c : {Case{699, kLargeWindowWidth}, Case{700, kSmallWindowWidth}}) {
        m_model->ResizeWindow(c.clientWidth + kFrame, 500);
        m_dlg.OnStnClickedAdvancedToggle();
        EXPECT_EQ(m_model->WindowWidth(), c.expectedWidth) << c.clientWidth;
    }
}

TEST_F(SettingsPanelTest, ToggleReportsEveryReadFailure) {
    struct Case {
        const char* name;
        std::uint16_t command;
        std::uint16_t result;
        Strings status;
    };
    const Case cases[] = {
        {"first read refused", CMD_CONFIG_READ_1, 0x1234, {"错误:1234"}},
        {"second read refused", CMD_CONFIG_READ_2, 0x5678, {"错误:5678"}},
        {"third read refused", CMD_CONFIG_READ_3, 0x9ABC, {"错误:9ABC"}},
    };
    for (const Case& c : cases) {
        m_sim.SetOverride(c.command, Result(c.result));
        StartRecording();
        m_dlg.OnStnClickedAdvancedToggle();
        EXPECT_EQ(m_status, c.status) << c.name;
    }
}

TEST_F(SettingsPanelTest, ToggleAndReadLeaveTheSameControls) {
    Bytes block1 = kOnBlock1;
    block1[0] = 0x41;  // a mixed byte, so a swapped pair of bits would differ
    SetBoxBlocks(block1, kOffBlock2, kOnBlock3);
    m_dlg.OnStnClickedAdvancedToggle();
    const DeviceSettings afterToggle = SettingsFromControls(*m_model);
    SetAllControls(DeviceSettings{});
    OnBnClickedReadSettings(m_host);
    EXPECT_EQ(SettingsFromControls(*m_model), afterToggle);
    EXPECT_TRUE(afterToggle.activePke);
    EXPECT_TRUE(afterToggle.findCarSound);
    EXPECT_FALSE(afterToggle.findCarLight);
}

}  // namespace
