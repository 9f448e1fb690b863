#include "station/config/recipe_catalog.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

#include "res/station_texts.h"
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

std::vector<std::string> FolderFiles(const std::string& folder, const std::string& extension) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        std::error_code typeError;
        if (entry.path().extension() == extension && entry.is_regular_file(typeError))
            files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> RecipeFiles(const std::string& folder) {
    return FolderFiles(folder, ".toml");
}

CatalogRead ReadCatalogRecipe(const std::string& file, Recipe& recipe, std::string& error) {
    if (LoadRecipe(file, recipe, error))
        return CatalogRead::Candidate;
    return IsSlotsFile(file) ? CatalogRead::NotARecipe : CatalogRead::Broken;
}

bool PickFileByVariant(const std::string& folder, const std::vector<std::string>& files,
                       const std::string& variant, const CatalogReader& read, std::string& picked,
                       std::string& error) {
    const std::string wanted = Trimmed(variant);
    if (wanted.empty()) {
        error = kTextScanEmpty;
        return false;
    }
    std::vector<std::string> matches;
    std::string broken;
    for (const std::string& file : files) {
        std::string candidate;
        std::string readError;
        switch (read(file, candidate, readError)) {
            case CatalogRead::Candidate:
                if (candidate == wanted)
                    matches.push_back(file);
                break;
            case CatalogRead::Broken:
                broken += "\n" + readError;
                break;
            case CatalogRead::NotARecipe:
                break;
        }
    }
    if (matches.size() == 1) {
        picked = matches.front();
        return true;
    }
    if (matches.empty()) {
        error =
            kTextUnknownVariant + wanted + kTextNoRecipeInBefore + folder + kTextNoRecipeInAfter;
        if (!broken.empty())
            error += kTextUnreadableRecipes + broken;
        return false;
    }
    error = kTextVariantBefore + wanted + kTextManyRecipesAfter;
    for (const std::string& m : matches)
        error += " " + std::filesystem::path(m).filename().string();
    return false;
}

bool FindRecipeByVariant(const std::string& folder, const std::string& variant, Recipe& recipe,
                         std::string& error) {
    std::map<std::string, Recipe> loaded;
    const CatalogReader read = [&](const std::string& file, std::string& candidate,
                                   std::string& readError) {
        Recipe r;
        const CatalogRead how = ReadCatalogRecipe(file, r, readError);
        candidate = r.variant;
        loaded[file] = std::move(r);
        return how;
    };
    std::string picked;
    if (!PickFileByVariant(folder, RecipeFiles(folder), variant, read, picked, error))
        return false;
    recipe = std::move(loaded[picked]);
    return true;
}
