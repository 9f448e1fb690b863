#pragma once
// A port folder of a test's own: VORNAK_PORT_DIR names it for the life of the
// object, so port n is the link <folder>/COMn; the variable's earlier value
// (or its absence) comes back afterwards. The environment is process-wide:
// one port folder at a time is in force, the innermost.

#include <optional>
#include <string>

#include "tests/support/temp_dir.h"

class CTempPortDir {
public:
    // `tag` as for CTempDir.
    explicit CTempPortDir(const std::string& tag = "ports");
    ~CTempPortDir();
    CTempPortDir(const CTempPortDir&) = delete;
    CTempPortDir& operator=(const CTempPortDir&) = delete;

    const std::string& Path() const { return m_dir.Path(); }
    std::string PortPath(int n) const { return m_dir / ("COM" + std::to_string(n)); }

private:
    CTempDir m_dir;
    std::optional<std::string> m_before;
};
