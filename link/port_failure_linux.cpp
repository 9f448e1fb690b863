// Port failures on Linux: the device's group from its inode, holders and
// ModemManager from /proc.
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "link/port_failure.h"

namespace fs = std::filesystem;

namespace {

// Holders named in one message; more would not help an operator.
constexpr int kMaxHoldersNamed = 3;

std::string Comm(const fs::path& procDir) {
    std::ifstream in(procDir / "comm");
    std::string name;
    std::getline(in, name);
    return name;
}

bool IsProcessDir(const fs::directory_entry& entry) {
    const std::string name = entry.path().filename().string();
    return !name.empty() && name.find_first_not_of("0123456789") == std::string::npos;
}

// Processes other than this one with `device` open, as far as /proc shows
// them (an unprivileged user sees only its own).
std::string Holders(const fs::path& device) {
    std::string holders;
    int named = 0;
    const std::string self = std::to_string(getpid());
    std::error_code ec;
    for (const fs::directory_entry& proc : fs::directory_iterator("/proc", ec)) {
        if (!IsProcessDir(proc) || proc.path().filename() == self)
            continue;
        std::error_code fdEc;
        for (const fs::directory_entry& fd : fs::directory_iterator(proc.path() / "fd", fdEc)) {
            std::error_code linkEc;
            if (fs::read_symlink(fd.path(), linkEc) != device || linkEc)
                continue;
            if (!holders.empty())
                holders += ", ";
            holders += "PID " + proc.path().filename().string() + " (" + Comm(proc.path()) + ")";
            ++named;
            break;
        }
        if (named == kMaxHoldersNamed)
            break;
    }
    return holders;
}

bool ModemManagerRunning() {
    std::error_code ec;
    for (const fs::directory_entry& proc : fs::directory_iterator("/proc", ec)) {
        if (IsProcessDir(proc) && Comm(proc.path()) == "ModemManager")
            return true;
    }
    return false;
}

}  // namespace

PortFailure DescribePortFailure(const std::string& path, int error) {
    PortFailure f;
    f.kind = PortFailureKindFor(error);
    f.error = error;
    f.path = path;
    struct stat link {};
    f.nothingThere = path.empty() || lstat(path.c_str(), &link) != 0;

    std::error_code ec;
    const fs::path device = fs::canonical(path, ec);
    if (f.kind == PortFailureKind::PermissionDenied) {
        struct stat st {};
        if (stat(path.c_str(), &st) == 0) {
            const group* g = getgrgid(st.st_gid);
            f.group = g != nullptr ? g->gr_name : std::to_string(st.st_gid);
            f.groupMayOpen = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
        }
    } else if (f.kind == PortFailureKind::Busy && !ec) {
        f.holders = Holders(device);
    }
    if (!ec && device.filename().string().starts_with("ttyACM"))
        f.modemManagerRunning = ModemManagerRunning();
    return f;
}
