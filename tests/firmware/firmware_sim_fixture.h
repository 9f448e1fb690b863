#pragma once
// The firmware operations over a pseudo-terminal to the box simulator: a port
// directory and a working directory (with its Prg folder) of their own, a link
// of their own, and a record of every control change.
//
// The current directory is process-wide: tests using this fixture stay in one
// executable and never run in parallel threads.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "dialog/dialog_model.h"
#include "dialog/model_host.h"
#include "firmware/firmware_update.h"
#include "firmware/load_slots.h"
#include "boxsim/box_simulator.h"
#include "link/device_link.h"
#include "res/resource.h"
#include "tests/support/box_workspace.h"
#include "tests/support/quick_upgrade_timing.h"

using Bytes = std::vector<std::uint8_t>;

// The box restarts quickly here; the update's long waits shrink to match.
constexpr std::chrono::milliseconds kTestRestartTime{30};

// Records control changes of a model, from any thread.
class CEventLog {
public:
    void Attach(CDialogModel& model) {
        model.SetObserver([this](const ControlEvent& e) {
            std::lock_guard lock(m_mutex);
            m_events.push_back(e);
        });
    }
    // Forgets what was recorded so far (one case of a table starts afresh).
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_events.clear();
    }
    std::vector<ControlEvent> Events() const {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    std::vector<std::string> Texts(int id) const {
        std::vector<std::string> texts;
        for (const ControlEvent& e : Events()) {
            if (e.kind == ControlEvent::Kind::Text && e.id == id)
                texts.push_back(e.text);
        }
        return texts;
    }
    std::vector<bool> Visibility(int id) const {
        std::vector<bool> shown;
        for (const ControlEvent& e : Events()) {
            if (e.kind == ControlEvent::Kind::Visible && e.id == id)
                shown.push_back(e.flag);
        }
        return shown;
    }
    std::vector<std::pair<long long, long long>> Progress() const {
        std::vector<std::pair<long long, long long>> values;
        for (const ControlEvent& e : Events()) {
            if (e.kind == ControlEvent::Kind::Progress && e.id == IDC_PROGRESS) {
                values.emplace_back(e.value, e.total);
            }
        }
        return values;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<ControlEvent> m_events;
};

class FirmwareSimTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_workspace = std::make_unique<CBoxWorkspace>("fw");
        m_portDir = m_workspace->PortDir();
        m_workDir = m_workspace->WorkDir();
        std::filesystem::create_directory("Prg");
        m_model = std::make_shared<CDialogModel>();
        FillLoadAddressList(*m_model);
        m_log.Attach(*m_model);
        m_host = std::make_shared<CModelHost>(m_model, &m_link);
    }

    void TearDown() override {
        m_model->SetObserver(nullptr);
        m_link.Disconnect();
        m_sim.Stop();
        m_workspace.reset();
    }

    // Starts the box and connects to it; the scan's probe is not recorded.
    void StartBox() {
        ASSERT_TRUE(m_sim.Start(m_portDir, 1));
        m_sim.SetRestartTime(kTestRestartTime);
        std::uint8_t com = 0;
        ASSERT_EQ(m_link.ScanPorts(&com), ST_OK);
        m_sim.ClearRequests();
    }

    static void WriteFile(const std::string& path, const Bytes& bytes) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }

    // Puts a package into Prg, appends it to the package list and selects it.
    void AddPackage(const std::string& name, const Bytes& bytes) {
        WriteFile("Prg/" + name, bytes);
        m_model->ComboInsert(IDC_PACKAGE_LIST, -1, name);
        m_model->ComboSetCurSel(IDC_PACKAGE_LIST, m_model->ComboGetCount(IDC_PACKAGE_LIST) - 1);
    }

    std::vector<SimRequest> RequestsOf(std::uint16_t command) const {
        std::vector<SimRequest> out;
        for (const SimRequest& r : m_sim.Requests()) {
            if (r.command == command)
                out.push_back(r);
        }
        return out;
    }

    std::vector<std::uint16_t> Commands() const {
        std::vector<std::uint16_t> out;
        for (const SimRequest& r : m_sim.Requests())
            out.push_back(r.command);
        return out;
    }

    std::vector<std::string> StatusTexts() const { return m_log.Texts(IDC_STATUS); }
    std::string Text(int id) const { return m_model->GetItemText(id); }

    std::unique_ptr<CBoxWorkspace> m_workspace;
    std::string m_portDir;
    std::string m_workDir;
    CBoxSimulator m_sim;
    CDeviceLink m_link;
    std::shared_ptr<CDialogModel> m_model;
    CEventLog m_log;
    std::shared_ptr<CModelHost> m_host;
};
