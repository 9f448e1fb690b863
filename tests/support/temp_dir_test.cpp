// The shared temporary folder: it goes with all it holds, and a folder that
// cannot be made stops the test with the reason instead of handing on a name
// that is not there.
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>

namespace {

namespace fs = std::filesystem;

TEST(TempDir, GoesWithAllItHolds) {
    std::string path;
    {
        const CTempDir dir("support");
        path = dir.Path();
        ASSERT_TRUE(fs::is_directory(path));
        EXPECT_EQ(fs::path(path), fs::canonical(path));
        fs::create_directories(dir / "a/b");
        std::ofstream(dir / "a/b/c") << "x";
    }
    EXPECT_FALSE(fs::exists(path));
}

TEST(TempDir, FolderThatCannotBeMadeThrowsTheReason) {
    std::optional<std::string> before;
    if (const char* value = getenv("TMPDIR"))
        before = value;
    // A folder even root cannot make folders in, and one that is not there.
    for (const char* base : {"/proc", "/nonexistent-vornak-base"}) {
        SCOPED_TRACE(base);
        setenv("TMPDIR", base, 1);
        try {
            const CTempDir dir("support");
            ADD_FAILURE() << "made " << dir.Path();
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find("support"), std::string::npos) << e.what();
        }
    }
    if (before)
        setenv("TMPDIR", before->c_str(), 1);
    else
        unsetenv("TMPDIR");
}

}  // namespace
