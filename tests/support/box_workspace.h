#pragma once
// A port directory and a working directory of a test's own: VORNAK_PORT_DIR
// points at the first and the process works in the second until the
// workspace goes, when both are removed and the old working directory and
// variable are back. The working directory is process-wide: one workspace at
// a time.

#include <string>

#include "tests/support/temp_dir.h"
#include "tests/support/temp_port_dir.h"
#include "tests/support/working_dir_scope.h"

class CBoxWorkspace {
public:
    explicit CBoxWorkspace(const std::string& tag)
        : m_portDir(tag + "-ports"), m_workDir(tag + "-work"), m_cwd(m_workDir.Path()) {}

    const std::string& PortDir() const { return m_portDir.Path(); }
    const std::string& WorkDir() const { return m_workDir.Path(); }

private:
    CTempPortDir m_portDir;
    CTempDir m_workDir;
    CWorkingDirScope m_cwd;  // left before the folders go
};
