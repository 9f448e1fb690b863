#include "firmware/prg_folder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "base/natural_order.h"
#include "dialog/dialog_view.h"

namespace {
// Separator and folder name as the absolute forms join them.
constexpr char kPrgAbsoluteSuffix[] = "/Prg/";
// First size tried for the current directory; doubled while it does not fit.
constexpr std::size_t kInitialCwdBuffer = 260;
// Folder permissions before the umask: the system's default for new folders.
constexpr mode_t kFolderMode = 0777;

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EndsWithIgnoringAsciiCase(const std::string& name, const std::string& suffix) {
    if (name.size() < suffix.size())
        return false;
    const std::size_t start = name.size() - suffix.size();
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        if (AsciiLower(name[start + i]) != AsciiLower(suffix[i]))
            return false;
    }
    return true;
}

// <current directory>/Prg/, or empty when the current directory is unknown.
std::string PrgFolderPath() {
    const std::string cwd = GetWorkDir();
    if (cwd.empty())
        return {};
    return cwd + kPrgAbsoluteSuffix;
}
}  // namespace

bool IsPrgEntryName(const std::string& entry) {
    return entry.find('/') == std::string::npos;
}

std::string PackagePathForEntry(const std::string& entry) {
    return IsPrgEntryName(entry) ? kPrgRelative + entry : entry;
}

std::string GetWorkDir() {
    std::string buffer(kInitialCwdBuffer, '\0');
    for (;;) {
        if (getcwd(buffer.data(), buffer.size()) != nullptr) {
            buffer.resize(buffer.find('\0'));
            return buffer;
        }
        if (errno != ERANGE)
            return {};
        buffer.assign(buffer.size() * 2, '\0');
    }
}

void EnsurePrgFolder() {
    const std::string path = PrgFolderPath();
    if (path.empty())
        return;
    struct stat st {};
    if (stat(path.c_str(), &st) == 0)
        return;
    mkdir(path.c_str(), kFolderMode);  // a failure leaves the package list empty
}

std::vector<std::string> ListPrgEntries(const std::string& extension) {
    std::vector<std::string> names;
    const std::string path = PrgFolderPath();
    if (path.empty())
        return names;
    std::unique_ptr<DIR, DirCloser> dir(opendir(path.c_str()));
    if (!dir)
        return names;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (EndsWithIgnoringAsciiCase(name, extension))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return NaturalLess(a, b, NameCase::IgnoreAscii);
    });
    return names;
}

void FillComboWithPrgEntries(IDialogView& view, int id, const std::string& extension) {
    const std::vector<std::string> names = ListPrgEntries(extension);
    for (const std::string& name : names)
        view.ComboInsert(id, -1, name);
    if (!names.empty())
        view.ComboSetCurSel(id, 0);
}

void RefillComboWithPrgEntries(IDialogView& view, int id, const std::string& extension) {
    const int sel = view.ComboGetCurSel(id);
    const std::string shown = sel >= 0 ? view.ComboGetText(id, sel) : view.GetItemText(id);
    view.ComboResetContent(id);
    const std::vector<std::string> names = ListPrgEntries(extension);
    for (const std::string& name : names)
        view.ComboInsert(id, -1, name);
    const auto it = std::find(names.begin(), names.end(), shown);
    if (it != names.end()) {
        view.ComboSetCurSel(id, static_cast<int>(it - names.begin()));
    } else {
        view.ComboSetCurSel(id, -1);
        view.SetItemText(id, shown);
    }
}
