#pragma once
// A headless main dialog over a pseudo-terminal to the box simulator: a port
// directory and a working directory of its own, a link of its own.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/vornak_dlg.h"
#include "device/dialog_model.h"
#include "link/boxsim/box_simulator.h"
#include "link/device_link.h"

class DialogFixture : public ::testing::Test {
protected:
    void SetUp() override {
        char ports[] = "/tmp/vornak-dlg-ports.XXXXXX";
        char work[] = "/tmp/vornak-dlg-work.XXXXXX";
        ASSERT_NE(mkdtemp(ports), nullptr);
        ASSERT_NE(mkdtemp(work), nullptr);
        m_portDir = ports;
        m_workDir = work;
        m_oldCwd = std::filesystem::current_path();
        std::filesystem::current_path(m_workDir);
        setenv("VORNAK_PORT_DIR", m_portDir.c_str(), 1);
        m_model = std::make_shared<CDialogModel>();
        m_dlg = std::make_unique<CVornakDlg>(m_model, &m_link);
        m_dlg->OnInitDialog();
    }

    void TearDown() override {
        m_link.Disconnect();
        m_sim.Stop();
        m_dlg.reset();
        std::filesystem::current_path(m_oldCwd);
        std::filesystem::remove_all(m_portDir);
        std::filesystem::remove_all(m_workDir);
    }

    void StartBox(int com = 3) { ASSERT_TRUE(m_sim.Start(m_portDir, com)); }
    std::string Text(int id) const { return m_model->GetItemText(id); }

    std::string m_portDir;
    std::string m_workDir;
    std::filesystem::path m_oldCwd;
    CBoxSimulator m_sim;
    CDeviceLink m_link;
    std::shared_ptr<CDialogModel> m_model;
    std::unique_ptr<CVornakDlg> m_dlg;
};
