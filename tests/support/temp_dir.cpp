#include "tests/support/temp_dir.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

CTempDir::CTempDir(const std::string& tag) {
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec)
        throw std::runtime_error("no temporary folder for " + tag + ": " + ec.message());
    std::string name = (base / ("vornak-" + tag + ".XXXXXX")).string();
    // mkdtemp fills in the template it is given; its null result is only a
    // failure report, never a name.
    if (mkdtemp(name.data()) == nullptr)
        throw std::runtime_error("can't make a folder like " + name + ": " + std::strerror(errno));
    m_path = fs::canonical(name, ec).string();
    if (ec) {
        fs::remove(name, ec);
        throw std::runtime_error("can't resolve " + name + ": " + ec.message());
    }
}

CTempDir::~CTempDir() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
}
