#include "tests/support/temp_port_dir.h"

#include <stdlib.h>

#include "link/port_names.h"

CTempPortDir::CTempPortDir(const std::string& tag) : m_dir(tag) {
    if (const char* before = getenv(kPortDirVariable))
        m_before = before;
    setenv(kPortDirVariable, m_dir.Path().c_str(), 1);
}

CTempPortDir::~CTempPortDir() {
    if (m_before)
        setenv(kPortDirVariable, m_before->c_str(), 1);
    else
        unsetenv(kPortDirVariable);
}
