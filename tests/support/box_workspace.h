#pragma once
// A port directory and a working directory of a test's own: VORNAK_PORT_DIR
// points at the first and the process works in the second until the
// workspace goes, when both are removed and the old working directory is
// back. The working directory is process-wide: one workspace at a time.

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

class CBoxWorkspace {
public:
    explicit CBoxWorkspace(const std::string& tag)
        : m_portDir(MakeTempDir(tag + "-ports")),
          m_workDir(MakeTempDir(tag + "-work")),
          m_oldCwd(std::filesystem::current_path()) {
        std::filesystem::current_path(m_workDir);
        setenv("VORNAK_PORT_DIR", m_portDir.c_str(), 1);
    }

    ~CBoxWorkspace() {
        std::error_code ec;
        std::filesystem::current_path(m_oldCwd, ec);
        std::filesystem::remove_all(m_portDir, ec);
        std::filesystem::remove_all(m_workDir, ec);
    }

    CBoxWorkspace(const CBoxWorkspace&) = delete;
    CBoxWorkspace& operator=(const CBoxWorkspace&) = delete;

    const std::string& PortDir() const { return m_portDir; }
    const std::string& WorkDir() const { return m_workDir; }

private:
    static std::string MakeTempDir(const std::string& tag) {
        std::string path = "/tmp/vornak-" + tag + ".XXXXXX";
        if (mkdtemp(path.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed for " + path);
        return path;
    }

    std::string m_portDir;
    std::string m_workDir;
    std::filesystem::path m_oldCwd;
};
