#include <gtest/gtest.h>

#include <vector>

#include "dialog_fixture.h"
#include "link/command_codes.h"
#include "res/resource.h"

namespace {

using IdentityTest = DialogFixture;

void ExpectLook(const CDialogModel& m, bool open) {
    EXPECT_EQ(m.IsItemVisible(IDC_CONNECT), !open);
    EXPECT_EQ(m.IsItemVisible(IDC_DISCONNECT), open);
    EXPECT_EQ(m.IsItemVisible(IDC_DOT_CLOSED), !open);
    EXPECT_EQ(m.IsItemVisible(IDC_DOT_OPEN), open);
}

TEST_F(IdentityTest, StartsClosedSmallAndEmpty) {
    ExpectLook(*m_model, false);
    for (int id : {IDC_PORT_NAME, IDC_BAUD_RATE, IDC_VERSION, IDC_SERIAL, IDC_STATUS}) {
        EXPECT_EQ(Text(id), "") << id;
    }
    EXPECT_EQ(m_model->WindowWidth(), 520);
    EXPECT_EQ(m_model->WindowHeight(), 360);
    EXPECT_FALSE(m_link.IsOpen());
    EXPECT_TRUE(std::filesystem::is_directory("Prg"));
}

class ConnectOnPort : public DialogFixture, public ::testing::WithParamInterface<int> {};

TEST_P(ConnectOnPort, FillsFieldsAndShowsOpenLook) {
    const int com = GetParam();
    StartBox(com);
    m_sim.SetVersion("VK-BCM V1.00");
    m_sim.SetSerial({0x12, 0x34, 0xAB, 0x00});

    m_dlg->OnBnClickedConnect();

    EXPECT_EQ(Text(IDC_PORT_NAME), "COM" + std::to_string(com));
    EXPECT_EQ(Text(IDC_BAUD_RATE), "115200bps");
    EXPECT_EQ(Text(IDC_VERSION), "VK-BCM V1.00");
    EXPECT_EQ(Text(IDC_SERIAL), "1234AB00");
    EXPECT_EQ(Text(IDC_STATUS), "设备连接成功.");
    ExpectLook(*m_model, true);
    EXPECT_EQ(m_model->DefaultButton(), IDC_DISCONNECT);
    EXPECT_EQ(m_model->FocusItem(), IDC_DISCONNECT);
}

INSTANTIATE_TEST_SUITE_P(Ports, ConnectOnPort, ::testing::Values(3, 12));

struct ReplyCase {
    const char* name;
    std::uint16_t command;
    SimOverride reply;
    int field;
    const char* field_after;   // field starts as "old"
    const char* status_after;  // status starts as "before"
};

SimOverride Data(std::vector<std::uint8_t> d) {
    SimOverride o;
    o.replyData = std::move(d);
    return o;
}

SimOverride Result(std::uint16_t w) {
    SimOverride o;
    o.resultWord = w;
    return o;
}

class IdentityReply : public DialogFixture, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(IdentityReply, GetDeviceInfoShowsWhatTheReplyCarries) {
    const ReplyCase& c = GetParam();
    StartBox();
    m_dlg->OnBnClickedConnect();
    m_model->SetItemText(c.field, "old");
    m_dlg->ShowStatus("before");
    m_sim.SetOverride(c.command, c.reply);

    m_dlg->OnBnClickedGetDeviceInfo();

    EXPECT_EQ(Text(c.field), c.field_after);
    EXPECT_EQ(Text(IDC_STATUS), c.status_after);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, IdentityReply,
    ::testing::Values(
        ReplyCase{"SerialInHex", CMD_GET_SERIAL, Data({0x5A, 0x5A, 0x12, 0x34, 0xAB, 0x00}),
                  IDC_SERIAL, "1234AB00", "before"},
        ReplyCase{"VersionEndsAtZero", CMD_GET_VERSION, Data({0, 0, 'V', '1', 0, 'X'}), IDC_VERSION,
                  "V1", "before"},
        ReplyCase{"LengthTwoEmptiesField", CMD_GET_VERSION, Data({0, 0}), IDC_VERSION, "",
                  "before"},
        ReplyCase{"LengthOneIsAnError", CMD_GET_SERIAL, Data({0}), IDC_SERIAL, "old", "错误:EE00"},
        ReplyCase{"BoxErrorWord", CMD_GET_VERSION, Result(0x1234), IDC_VERSION, "old",
                  "错误:1234"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(IdentityTest, NoBoxShowsNoDeviceAndKeepsClosedLook) {
    m_model->SetItemText(IDC_VERSION, "old");
    m_dlg->OnBnClickedConnect();
    EXPECT_EQ(Text(IDC_STATUS), "错误:EF00");
    EXPECT_EQ(Text(IDC_VERSION), "old");
    EXPECT_EQ(Text(IDC_PORT_NAME), "");
    ExpectLook(*m_model, false);
    EXPECT_EQ(m_model->DefaultButton(), IDC_CONNECT);
}

TEST_F(IdentityTest, FailedVersionReadStillConnects) {
    StartBox();
    m_model->SetItemText(IDC_VERSION, "old");
    m_sim.SetOverride(CMD_GET_VERSION, Result(0x0101));
    m_dlg->OnBnClickedConnect();
    EXPECT_EQ(Text(IDC_STATUS), "设备连接成功.");
    EXPECT_EQ(Text(IDC_VERSION), "old");
    EXPECT_EQ(Text(IDC_PORT_NAME), "COM3");
}

TEST_F(IdentityTest, ConnectOverAnOpenPortShowsThePortInUse) {
    StartBox(7);
    // Get device information connects by itself but leaves the look closed.
    m_dlg->OnBnClickedGetDeviceInfo();
    ASSERT_TRUE(m_link.IsOpen());
    ExpectLook(*m_model, false);
    EXPECT_EQ(Text(IDC_PORT_NAME), "");

    m_sim.ClearRequests();
    m_dlg->OnBnClickedConnect();
    EXPECT_EQ(Text(IDC_PORT_NAME), "COM7");
    ExpectLook(*m_model, true);
    // No scan: just the two identity reads.
    EXPECT_EQ(m_sim.Requests().size(), 2u);
}

TEST_F(IdentityTest, DisconnectEmptiesFieldsConnectedOrNot) {
    StartBox();
    m_dlg->OnBnClickedConnect();
    ASSERT_EQ(Text(IDC_PORT_NAME), "COM3");
    for (int round = 0; round < 2; ++round) {
        m_dlg->OnBnClickedDisconnect();
        for (int id : {IDC_PORT_NAME, IDC_BAUD_RATE, IDC_VERSION, IDC_SERIAL}) {
            EXPECT_EQ(Text(id), "") << id;
        }
        EXPECT_EQ(Text(IDC_STATUS), "断开连接正常!");
        ExpectLook(*m_model, false);
        EXPECT_FALSE(m_link.IsOpen());
    }
}

TEST_F(IdentityTest, LabelClicksEmptyTheirFieldOnly) {
    m_model->SetItemText(IDC_VERSION, "v");
    m_model->SetItemText(IDC_SERIAL, "s");
    m_dlg->ShowStatus("kept");
    EXPECT_TRUE(m_dlg->OnCommand(IDC_VERSION_LABEL));
    EXPECT_EQ(Text(IDC_VERSION), "");
    EXPECT_EQ(Text(IDC_SERIAL), "s");
    EXPECT_TRUE(m_dlg->OnCommand(IDC_SERIAL_LABEL));
    EXPECT_EQ(Text(IDC_SERIAL), "");
    EXPECT_EQ(Text(IDC_STATUS), "kept");
    // Controls without a handler do nothing.
    EXPECT_FALSE(m_dlg->OnCommand(IDC_SAVE_LOG));
    EXPECT_FALSE(m_dlg->OnCommand(IDC_STATUS));
}

}  // namespace
