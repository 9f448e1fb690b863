#include "station/config/recipe_catalog.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "station/config/toml_file.h"

namespace {

std::string Trimmed(const std::string& text) {
    const char* blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// A slots file ([[slot]] tables and no variant) often stands beside the
// recipes; it is no recipe, broken or not.
bool IsSlotsFile(const std::string& path) {
    std::string bytes;
    toml::table root;
    std::string error;
    return ReadTomlFile(path, bytes, root, error) && root.contains("slot") &&
           !root.contains("variant");
}

}  // namespace

std::vector<std::string> RecipeFiles(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        std::error_code typeError;
        if (entry.path().extension() == ".toml" && entry.is_regular_file(typeError))
            files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool FindRecipeByVariant(const std::string& folder, const std::string& variant, Recipe& recipe,
                         std::string& error) {
    const std::string wanted = Trimmed(variant);
    if (wanted.empty()) {
        error = "扫描内容为空";
        return false;
    }
    std::vector<Recipe> matches;
    std::string broken;
    for (const std::string& file : RecipeFiles(folder)) {
        Recipe candidate;
        std::string loadError;
        if (!LoadRecipe(file, candidate, loadError)) {
            if (!IsSlotsFile(file))
                broken += "\n" + loadError;
            continue;
        }
        if (candidate.variant == wanted)
            matches.push_back(std::move(candidate));
    }
    if (matches.size() == 1) {
        recipe = std::move(matches.front());
        return true;
    }
    if (matches.empty()) {
        error = "未知型号: " + wanted + " (" + folder + " 中没有该型号的配方)";
        if (!broken.empty())
            error += "\n无法读取的配方:" + broken;
        return false;
    }
    error = "型号 " + wanted + " 有多个配方:";
    for (const Recipe& m : matches)
        error += " " + std::filesystem::path(m.path).filename().string();
    return false;
}
