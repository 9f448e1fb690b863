#include "station/release/private_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

CPrivateFolder::~CPrivateFolder() {
    if (!m_path.empty()) {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
}

bool CPrivateFolder::Create(const std::string& tag, std::string& error) {
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec) {
        error = "no temporary folder: " + ec.message();
        return false;
    }
    std::string name = fs::absolute(base / (tag + ".XXXXXX"), ec).lexically_normal().string();
    // mkdtemp makes the folder with mode 0700 under a name nobody else has.
    if (ec || mkdtemp(name.data()) == nullptr) {
        error = "cannot make a folder like " + name + ": " + std::strerror(errno);
        return false;
    }
    m_path = name;
    return true;
}
