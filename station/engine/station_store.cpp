#include "station/engine/station_store.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace {

std::filesystem::path RecipeFolder(const std::string& recipePath) {
    return std::filesystem::absolute(recipePath).parent_path();
}

std::string ChosenUrl(const std::string& recipePath, const std::optional<std::string>& url) {
    return url.value_or("sqlite:" + (RecipeFolder(recipePath) / kDefaultRecordsFile).string());
}

}  // namespace

std::unique_ptr<IRecordStore> OpenStationStore(const std::string& recipePath,
                                               const std::optional<std::string>& url,
                                               std::string& error) {
    const std::filesystem::path beside = RecipeFolder(recipePath);
    const std::string chosen = ChosenUrl(recipePath, url);
    std::unique_ptr<IRecordStore> store =
        OpenRecordStore(chosen, (beside / kDefaultQueueFile).string(), error);
    if (!store) {
        error = chosen + ": " + error;
        return nullptr;
    }
    // Only what can be checked at once: the store opened, its header and
    // schema read. The full check runs beside the units (store_check.h).
    return store;
}

std::string StationStoreFolder(const std::string& recipePath,
                               const std::optional<std::string>& url) {
    const std::string file = SqliteStorePath(ChosenUrl(recipePath, url));
    if (file.empty())
        return RecipeFolder(recipePath).string();
    return std::filesystem::absolute(file).parent_path().string();
}

std::string DefaultStationName() {
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 ? name : "";
}

std::string DefaultOperatorName() {
    const char* user = std::getenv("USER");
    return user != nullptr ? user : "";
}
