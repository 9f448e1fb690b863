// Clicks during a firmware update, run headless as vornak-cli runs them: each
// one that would talk to the box is refused with a status text and a failed
// outcome, and the box hears nothing but the update's packets.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "app/panel_layout.h"
#include "dialog_fixture.h"
#include "link/command_codes.h"
#include "res/resource.h"
#include "res/status_texts.h"
#include "tests/support/quick_upgrade_timing.h"

namespace {

struct RefusedClick {
    int id;
    const char* status;
};

constexpr RefusedClick kRefusedClicks[] = {
    {IDC_CONNECT, kTextBoxBusyDuringUpgrade},
    {IDC_DISCONNECT, kTextDisconnectDuringUpgrade},
    {IDC_GET_DEVICE_INFO, kTextBoxBusyDuringUpgrade},
    {IDC_ADVANCED_TOGGLE, kTextBoxBusyDuringUpgrade},
    {IDC_READ_SETTINGS, kTextBoxBusyDuringUpgrade},
    {IDC_WRITE_SETTINGS, kTextBoxBusyDuringUpgrade},
    {IDC_FACTORY_RESET, kTextBoxBusyDuringUpgrade},
    {IDC_UPGRADE, kTextBoxBusyDuringUpgrade},
    {IDC_SEND_FILE, kTextBoxBusyDuringUpgrade},
    {IDC_JUMP, kTextBoxBusyDuringUpgrade},
};

// Line speed at which the package below takes seconds: every click lands
// among its data packets.
constexpr unsigned kSlowBaud = 115200;
constexpr std::size_t kPackageData = 64 * 1024;

void WriteBytes(const char* path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

using DuringUpdateTest = DialogFixture;

TEST_F(DuringUpdateTest, ClicksThatTalkToTheBoxAreRefused) {
    StartBox(3);
    m_sim.SetRestartTime(std::chrono::milliseconds(0));
    m_sim.SetFaults({.throttleBaud = kSlowBaud});
    WriteBytes("Prg/fw.pkg", MakeSamplePackage("VK-BCM V2.00", kPackageData));
    // A file Send could download, so that only the refusal keeps it back.
    WriteBytes("app.bin", std::vector<std::uint8_t>(1024, 0x5A));
    m_dlg = std::make_unique<CVornakDlg>(m_model, &m_link, QuickUpgradeTiming());
    m_dlg->OnInitDialog();
    m_model->SetItemText(IDC_PACKAGE_LIST, "fw.pkg");
    m_model->SetItemText(IDC_TARGET_FILE, "app.bin");
    ASSERT_TRUE(m_dlg->OnCommand(IDC_CONNECT));

    // The update's status texts arrive from its worker meanwhile.
    std::mutex mutex;
    std::vector<std::string> statusTexts;
    m_model->SetObserver([&](const ControlEvent& e) {
        if (e.kind == ControlEvent::Kind::Text && e.id == IDC_STATUS) {
            std::lock_guard lock(mutex);
            statusTexts.push_back(e.text);
        }
    });
    const std::uint64_t mark = m_sim.RequestCount();
    ASSERT_TRUE(m_dlg->OnCommand(IDC_UPGRADE));
    // Two preparing requests, the header, the first data packet.
    ASSERT_TRUE(m_sim.WaitForRequestCount(mark + 4, std::chrono::seconds(15)));

    for (const RefusedClick& click : kRefusedClicks) {
        SCOPED_TRACE(click.id);
        {
            std::lock_guard lock(mutex);
            statusTexts.clear();
        }
        const std::optional<HandlerOutcome> outcome = m_dlg->OnCommand(click.id);
        ASSERT_TRUE(outcome.has_value());
        ASSERT_TRUE(outcome->result.has_value());
        EXPECT_FALSE(outcome->result->ok);
        std::lock_guard lock(mutex);
        EXPECT_NE(std::find(statusTexts.begin(), statusTexts.end(), click.status),
                  statusTexts.end());
    }
    EXPECT_TRUE(m_dlg->IsUpgradeRunning());
    // The settings panel shows, though it stays unread.
    EXPECT_EQ(Text(IDC_ADVANCED_TOGGLE), kTextToggleClose);
    EXPECT_EQ(m_model->WindowWidth(), kLargeWindowWidth);

    // Every request is kept (the update sends far fewer than the history
    // holds); after the update's first three come only its data packets.
    const std::vector<SimRequest> requests = m_sim.Requests();
    ASSERT_LT(requests.size(), kSimRequestHistory);
    for (std::size_t i = mark + 3; i < requests.size(); ++i)
        EXPECT_EQ(requests[i].command, CMD_UPGRADE_DATA) << "request " << i;

    ASSERT_TRUE(m_dlg->WaitForUpgrade(60000));
    m_model->SetObserver(nullptr);
    EXPECT_EQ(Text(IDC_STATUS), kTextUpgradeDone);
    EXPECT_EQ(m_sim.CommitCount(), 1);
    EXPECT_FALSE(m_sim.LastJumpAddress().has_value());
    EXPECT_FALSE(m_sim.Slot(0).infoReceived);
    EXPECT_TRUE(m_link.IsOpen());
}

}  // namespace
