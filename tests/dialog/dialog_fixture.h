#pragma once
// A headless main dialog over a pseudo-terminal to the box simulator: a port
// directory and a working directory of its own, a link of its own.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/vornak_dlg.h"
#include "dialog/dialog_model.h"
#include "boxsim/box_simulator.h"
#include "link/device_link.h"
#include "tests/support/box_workspace.h"

class DialogFixture : public ::testing::Test {
protected:
    void SetUp() override {
        m_workspace = std::make_unique<CBoxWorkspace>("dlg");
        m_portDir = m_workspace->PortDir();
        m_model = std::make_shared<CDialogModel>();
        m_dlg = std::make_unique<CVornakDlg>(m_model, &m_link);
        m_dlg->OnInitDialog();
    }

    void TearDown() override {
        m_link.Disconnect();
        m_sim.Stop();
        m_dlg.reset();
        m_workspace.reset();
    }

    void StartBox(int com = 3) { ASSERT_TRUE(m_sim.Start(m_portDir, com)); }
    std::string Text(int id) const { return m_model->GetItemText(id); }

    std::unique_ptr<CBoxWorkspace> m_workspace;
    std::string m_portDir;
    CBoxSimulator m_sim;
    CDeviceLink m_link;
    std::shared_ptr<CDialogModel> m_model;
    std::unique_ptr<CVornakDlg> m_dlg;
};
