#include "station/release/source_catalog.h"

#include <map>
#include <vector>

#include "station/config/recipe_catalog.h"

bool FindSourceByVariant(const std::string& folder, const std::string& variant,
                         const StationTrust& trust, std::chrono::system_clock::time_point now,
                         StationSource& source, std::string& error) {
    std::vector<TrustedKey> keys;
    if (!LoadStationTrust(trust, keys, error))
        return false;
    std::vector<std::string> files = FolderFiles(folder, kBundleExtension);
    if (keys.empty()) {
        const std::vector<std::string> recipes = RecipeFiles(folder);
        files.insert(files.end(), recipes.begin(), recipes.end());
    }
    std::map<std::string, StationSource> opened;
    const CatalogReader read = [&](const std::string& file, std::string& candidate,
                                   std::string& readError) {
        StationSource& s = opened[file];
        if (file.ends_with(kBundleExtension)) {
            if (!OpenBundleSource(file, keys, now, s, readError))
                return CatalogRead::Broken;
            candidate = s.recipe.variant;
            return CatalogRead::Candidate;
        }
        const CatalogRead how = ReadCatalogRecipe(file, s.recipe, readError);
        candidate = s.recipe.variant;
        return how;
    };
    std::string picked;
    if (!PickFileByVariant(folder, files, variant, read, picked, error))
        return false;
    source = std::move(opened[picked]);
    return true;
}
