#include "layouts/file_image.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

class FileImageTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::string path = m_dir + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    CTempDir m_work{"image"};
    std::string m_dir{m_work.Path()};
};

TEST_F(FileImageTest, ReadsWholeFile) {
    std::vector<std::uint8_t> bytes(70000);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
    std::vector<std::uint8_t> image;
    EXPECT_EQ(ReadFileImage(Write("f.bin", bytes), image), ImageLoad::Ok);
    EXPECT_EQ(image, bytes);

    EXPECT_EQ(ReadFileImage(Write("empty.bin", {}), image), ImageLoad::Ok);
    EXPECT_TRUE(image.empty());
}

TEST_F(FileImageTest, RefusesWhatIsNotAReadableFile) {
    std::filesystem::create_directory(m_dir + "/folder.pkg");
    const std::string cases[] = {"", m_dir + "/missing.bin", m_dir + "/folder.pkg", m_dir};
    for (const std::string& path : cases) {
        std::vector<std::uint8_t> image{1, 2, 3};
        EXPECT_EQ(ReadFileImage(path, image), ImageLoad::OpenFailed) << path;
        EXPECT_TRUE(image.empty()) << path;
    }
}

TEST_F(FileImageTest, LengthBeyondThirtyTwoBitsIsRefusedNotTruncated) {
    // A sparse file: its length alone is past 4 GiB, nothing is read.
    const std::string path = m_dir + "/huge.bin";
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    const off_t length = (off_t{1} << 32) + 16;
    const bool sized = ftruncate(fd, length) == 0;
    close(fd);
    if (!sized)
        GTEST_SKIP() << "file system refuses a sparse file of 4 GiB";
    std::vector<std::uint8_t> image;
    EXPECT_EQ(ReadFileImage(path, image), ImageLoad::TooLarge);
    EXPECT_TRUE(image.empty());
}

}  // namespace
