#include "cli/cli_package.h"

#include <filesystem>
#include <system_error>

#include "firmware/prg_folder.h"

std::string PackageEntryText(const std::string& package) {
    namespace fs = std::filesystem;
    if (package.find('/') == std::string::npos)
        return package;
    // Both sides as the system resolves them: "./Prg/.." is the parent of
    // wherever Prg really lies, should Prg be a link.
    std::error_code ec;
    const fs::path prg = fs::weakly_canonical(fs::path(kPrgRelative).parent_path(), ec);
    if (ec)
        return package;
    const fs::path file = fs::weakly_canonical(fs::absolute(package, ec), ec);
    if (ec)
        return package;
    const fs::path relative = file.lexically_relative(prg);
    return relative.empty() ? package : relative.string();
}
