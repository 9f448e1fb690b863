// Reading user-named files without blocking, and replacing files whole.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/file_replace.h"
#include "base/regular_file.h"

namespace {

class FileIoTest : public ::testing::Test {
protected:
    void SetUp() override {
        char root[] = "/tmp/vornak-file-io.XXXXXX";
        ASSERT_NE(mkdtemp(root), nullptr);
        m_root = root;
        ASSERT_EQ(mkfifo(At("pipe").c_str(), 0600), 0);
        std::filesystem::create_directory(At("folder"));
        std::ofstream(At("file.txt")) << "old";
    }
    void TearDown() override { std::filesystem::remove_all(m_root); }

    std::string At(const std::string& name) const { return m_root + "/" + name; }
    static std::string Read(const std::string& path) {
        std::ifstream in(path);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string m_root;
};

}  // namespace

TEST_F(FileIoTest, OnlyARegularFileIsOpenedAndNothingWaits) {
    struct Case {
        std::string path;
        int error;  // 0: opened
    };
    const Case cases[] = {
        {At("file.txt"), 0},
        {At("pipe"), kNotRegularFileError},
        {At("folder"), kNotRegularFileError},
        {"/dev/null", kNotRegularFileError},
        {At("missing"), ENOENT},
        {"", ENOENT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::string text = "untouched";
        int error = 0;
        const bool ok = ReadRegularFile(c.path, 100, text, error);
        EXPECT_EQ(ok, c.error == 0);
        if (ok) {
            EXPECT_EQ(text, "old");
        } else {
            EXPECT_EQ(error, c.error);
            EXPECT_EQ(text, "untouched");
        }
    }
    std::string text;
    int error = 0;
    EXPECT_FALSE(ReadRegularFile(At("file.txt"), 2, text, error));
    EXPECT_EQ(error, EFBIG);
}

TEST_F(FileIoTest, ReplaceRefusesWhatIsNoRegularFileAndChangesNothing) {
    for (const std::string name : {"pipe", "folder", "no-folder/x.txt"}) {
        SCOPED_TRACE(name);
        std::string error;
        EXPECT_FALSE(CanReplaceFile(At(name), error));
        EXPECT_FALSE(ReplaceFileWhole(At(name), "new", error));
        EXPECT_NE(error.find(At(name) + ": can't write the file: "), std::string::npos) << error;
    }
    EXPECT_TRUE(std::filesystem::is_fifo(At("pipe")));
    EXPECT_TRUE(std::filesystem::is_empty(At("folder")));
}

TEST_F(FileIoTest, ReplaceWritesNewFilesAndFollowsALinkToItsFile) {
    std::string error;
    ASSERT_TRUE(ReplaceFileWhole(At("new.txt"), "fresh", error)) << error;
    EXPECT_EQ(Read(At("new.txt")), "fresh");

    std::filesystem::create_symlink(At("file.txt"), At("link.txt"));
    ASSERT_TRUE(ReplaceFileWhole(At("link.txt"), "via link", error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(At("link.txt")));
    EXPECT_EQ(Read(At("file.txt")), "via link");
    // Nothing but the files themselves: no temporary file stays behind.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(m_root))
        ++entries;
    EXPECT_EQ(entries, 5u);  // pipe, folder, file.txt, new.txt, link.txt
}
