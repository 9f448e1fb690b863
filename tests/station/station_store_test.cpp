// Where a station front end's store lives, and so where its reports go.

#include "station/engine/station_store.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(StationStoreFolder, IsTheSqliteFilesFolderOrTheQueueFilesFolder) {
    const std::string cwd = std::filesystem::current_path().string();
    struct Case {
        std::optional<std::string> url;
        std::string folder;
    };
    const Case cases[] = {
        {std::nullopt, "/line/recipes"},  // records.db beside the recipe
        {"sqlite:/data/records.db", "/data"},
        {"/data/records.db", "/data"},
        {"sqlite:store/records.db", cwd + "/store"},
        // The queue file is beside the recipe.
        {"postgresql://plant/records", "/line/recipes"},
        {"postgres://plant/records", "/line/recipes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url.value_or("(none)"));
        EXPECT_EQ(StationStoreFolder("/line/recipes/door.toml", c.url), c.folder);
    }
}

}  // namespace
