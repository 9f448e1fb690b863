#include "station/engine/station_store.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

std::unique_ptr<IRecordStore> OpenStationStore(const std::string& recipePath,
                                               const std::optional<std::string>& url,
                                               std::string& error) {
    const std::filesystem::path beside = std::filesystem::absolute(recipePath).parent_path();
    const std::string chosen = url.value_or("sqlite:" + (beside / kDefaultRecordsFile).string());
    std::unique_ptr<IRecordStore> store =
        OpenRecordStore(chosen, (beside / kDefaultQueueFile).string(), error);
    if (!store) {
        error = chosen + ": " + error;
        return nullptr;
    }
    // A damaged file would take units' records in vain.
    if (!store->CheckIntegrity(error)) {
        error = chosen + ": the store is damaged: " + error;
        return nullptr;
    }
    return store;
}

std::string DefaultStationName() {
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 ? name : "";
}

std::string DefaultOperatorName() {
    const char* user = std::getenv("USER");
    return user != nullptr ? user : "";
}
