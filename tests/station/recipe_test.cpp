// Recipes: a good one read whole, and every kind of bad one refused with the
// file, the line and the key.

#include "station/config/recipe.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "boxsim/box_simulator.h"
#include "layouts/option_table.h"
#include "station/config/digest.h"
#include "tests/support/box_workspace.h"
#include "tests/support/test_files.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class RecipeTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory("files");
        m_package = MakeSamplePackage("VBX-100 V3.0.0", 100);
        WriteBytesFile("files/fw.pkg", m_package);
        WriteBytesFile("files/app.bin", Bytes(50, 0x11));
    }

    std::string PathOf(const std::string& name) const { return m_workspace.WorkDir() + "/" + name; }

    bool Load(const std::string& text, Recipe& recipe, std::string& error) {
        std::ofstream(PathOf("r.toml"), std::ios::binary) << text;
        return LoadRecipe(PathOf("r.toml"), recipe, error);
    }

    CBoxWorkspace m_workspace{"recipe"};
    Bytes m_package;
};

TEST_F(RecipeTest, GoodRecipeReadsWholeWithFilesBesideIt) {
    const std::string pin = Sha256Hex(m_package.data(), m_package.size());
    const std::string text =
        "name = \"Door\"\nvariant = \"V-A1\"\n"
        "[firmware]\npackage = \"files/fw.pkg\"\nversion = \"VBX-100 V3.0.0\"\n"
        "sha256 = \"" +
        pin +
        "\"\n"
        "[settings]\ncrankTime = 3\nactivePke = true\n"
        "[[download]]\nfile = \"files/app.bin\"\nslot = 0\n"
        "[[download]]\nfile = \"files/app.bin\"\nslot = 5\njump = true\n";
    Recipe r;
    std::string error;
    ASSERT_TRUE(Load(text, r, error)) << error;
    EXPECT_EQ(r.name, "Door");
    EXPECT_EQ(r.variant, "V-A1");
    EXPECT_EQ(r.sha256, Sha256Hex(text));
    ASSERT_TRUE(r.firmware);
    EXPECT_EQ(r.firmware->package, PathOf("files/fw.pkg"));
    EXPECT_EQ(r.firmware->sha256, pin);
    ASSERT_EQ(r.downloads.size(), 2u);
    EXPECT_EQ(r.downloads[1].slot, 5);
    EXPECT_TRUE(r.downloads[1].jump);
    EXPECT_FALSE(r.downloads[0].jump);

    // Only the named options change; table order.
    ASSERT_EQ(r.settingOptions.size(), 2u);
    EXPECT_EQ(r.settingOptions[0]->field, "activePke");
    DeviceSettings s;
    s.hornOutputTime = 1;
    ApplyRecipeSettings(r, s);
    EXPECT_TRUE(s.activePke);
    EXPECT_EQ(s.crankTime, 3);
    EXPECT_EQ(s.hornOutputTime, 1);
}

// A factory-based recipe (the default) gives every box one configuration: the
// factory settings with its options; a box-based one has none of its own.
TEST_F(RecipeTest, SettingsBaseGivesTheCompleteConfiguration) {
    const std::string head = "name = \"n\"\nvariant = \"v\"\n[settings]\n";
    struct Case {
        const char* base;
        bool complete;
    };
    for (const Case& c :
         {Case{"", true}, Case{"base = \"factory\"\n", true}, Case{"base = \"box\"\n", false}}) {
        SCOPED_TRACE(c.base);
        Recipe r;
        std::string error;
        ASSERT_TRUE(Load(head + c.base + "activePke = true\n", r, error)) << error;
        const std::optional<DeviceSettings> complete = CompleteSettings(r);
        ASSERT_EQ(complete.has_value(), c.complete);
        if (!complete) {
            EXPECT_TRUE(ExpectedSettingsSha256(r).empty());
            continue;
        }
        DeviceSettings expected = FactorySettings();
        expected.activePke = true;
        EXPECT_EQ(*complete, expected);
        EXPECT_EQ(ExpectedSettingsSha256(r), Sha256Hex(SettingsRecordText(expected)));
    }
}

TEST_F(RecipeTest, BadRecipesAreRefusedNamingFileLineAndKey) {
    const std::string head = "name = \"n\"\nvariant = \"v\"\n";
    const std::string fw = "[firmware]\npackage = \"files/fw.pkg\"\nversion = \"x\"\n";
    const std::string zeros(64, '0');
    ASSERT_EQ(mkfifo(PathOf("files/fifo").c_str(), 0600), 0);
    struct Case {
        const char* name;
        std::string text;
        std::string expected;  // part of the message after "r.toml"
    };
    const Case cases[] = {
        {"syntax", head + "[firmware\n", "r.toml:3: "},
        {"unknown top key", head + "colour = \"red\"\n", "r.toml:3: colour: unknown key"},
        {"unknown firmware key", head + fw + "speed = 1\n",
         "r.toml:6: firmware.speed: unknown key"},
        {"missing name", "variant = \"v\"\n", "name: missing"},
        {"name of the wrong type", "name = 3\nvariant = \"v\"\n",
         "r.toml:1: name: must be a string"},
        {"unknown option", head + "[settings]\nfrobnicate = true\n",
         "r.toml:4: settings.frobnicate: unknown option"},
        {"flag given a number", head + "[settings]\nactivePke = 1\n",
         "r.toml:4: settings.activePke: must be true or false"},
        {"selection out of range", head + "[settings]\ncrankTime = 99\n",
         "r.toml:4: settings.crankTime: must be an index from 0 to"},
        {"unknown settings base", head + "[settings]\nbase = \"previous\"\n",
         "r.toml:4: settings.base: must be \"factory\" or \"box\""},
        {"settings base not text", head + "[settings]\nbase = true\n",
         "r.toml:4: settings.base: must be"},
        {"selection given text", head + "[settings]\ncrankTime = \"2\"\n",
         "settings.crankTime: must be an index"},
        {"missing package", head + "[firmware]\npackage = \"files/none.pkg\"\nversion = \"x\"\n",
         "r.toml:4: firmware.package: cannot open " + PathOf("files/none.pkg") +
             ": No such file or directory"},
        // What can never be read whole is said to be no regular file.
        {"a FIFO as the download file",
         head + "[[download]]\nfile = \"" + PathOf("files/fifo") + "\"\nslot = 1\n",
         "r.toml:4: download[1].file: cannot open " + PathOf("files/fifo") +
             ": not a regular file"},
        {"a device as the download file", head + "[[download]]\nfile = \"/dev/zero\"\nslot = 1\n",
         "r.toml:4: download[1].file: cannot open /dev/zero: not a regular file"},
        {"package pin differs", head + fw + "sha256 = \"" + zeros + "\"\n",
         "r.toml:6: firmware.sha256: does not match"},
        {"pin not hex", head + fw + "sha256 = \"abc\"\n",
         "firmware.sha256: must be 64 hexadecimal digits"},
        {"missing version", head + "[firmware]\npackage = \"files/fw.pkg\"\n",
         "firmware.version: missing"},
        {"download pin differs",
         head + "[[download]]\nfile = \"files/app.bin\"\nslot = 1\nsha256 = \"" + zeros + "\"\n",
         "r.toml:6: download[1].sha256: does not match"},
        {"jump not last",
         head + "[[download]]\nfile = \"files/app.bin\"\nslot = 1\njump = true\n"
                "[[download]]\nfile = \"files/app.bin\"\nslot = 2\n",
         "r.toml:6: download[1].jump: only the last download may jump"},
        {"ignore_result given text",
         head + "[[download]]\nfile = \"files/app.bin\"\nslot = 1\nignore_result = \"yes\"\n",
         "r.toml:6: download[1].ignore_result: must be true or false"},
        {"slot out of range", head + "[[download]]\nfile = \"files/app.bin\"\nslot = 6\n",
         "r.toml:5: download[1].slot: must be a slot from 0 to 5"},
        {"download not an array", head + "[download]\nfile = \"files/app.bin\"\n",
         "download: must be an array of tables"},
        {"firmware not a table", head + "firmware = \"fw.pkg\"\n",
         "r.toml:3: firmware: must be a table"},
        {"NUL in the name", "variant = \"v\"\nname = \"door\\u0000x\"\n",
         "r.toml:2: name: must hold no NUL or control character (\\x00)"},
        {"tab in the variant", "name = \"n\"\nvariant = \"V\\tA\"\n",
         "r.toml:2: variant: must hold no NUL or control character (\\x09)"},
        {"escape in the version",
         head + "[firmware]\npackage = \"files/fw.pkg\"\nversion = \"V\\u001b[2J\"\n",
         "r.toml:5: firmware.version: must hold no NUL or control character (\\x1B)"},
        {"DEL in a file name", head + "[[download]]\nfile = \"files/app\\u007f.bin\"\nslot = 1\n",
         "r.toml:4: download[1].file: must hold no NUL or control character (\\x7F)"},
        // Characters a reader cannot see, or that turn the text around them.
        {"C1 next line in the name", "variant = \"v\"\nname = \"door\\u0085x\"\n",
         "r.toml:2: name: must hold no invisible or direction-changing character (U+0085)"},
        {"line separator in the variant", "name = \"n\"\nvariant = \"V\\u2028A\"\n",
         "r.toml:2: variant: must hold no invisible or direction-changing character (U+2028)"},
        {"right-to-left override in the variant", "name = \"n\"\nvariant = \"A\\u202EB\"\n",
         "r.toml:2: variant: must hold no invisible or direction-changing character (U+202E)"},
        {"byte order mark inside the name", "variant = \"v\"\nname = \"\\uFEFFdoor\"\n",
         "r.toml:2: name: must hold no invisible or direction-changing character (U+FEFF)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recipe r;
        std::string error;
        EXPECT_FALSE(Load(c.text, r, error));
        EXPECT_TRUE(error.starts_with(PathOf("r.toml"))) << error;
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    }
}

// A file past the limit is refused by its size: these are sparse, so reading
// one whole would take 64 MiB of memory for nothing.
TEST_F(RecipeTest, FilesLargerThanTheLimitAreRefusedUnread) {
    {
        WriteBytesFile("files/huge.bin", Bytes(1, 0xC9));
        std::filesystem::resize_file(PathOf("files/huge.bin"), kMaxRecipeFileBytes + 1);
    }
    const std::string head = "name = \"n\"\nvariant = \"v\"\n";
    const std::string limit = "is larger than " + std::to_string(kMaxRecipeFileBytes) + " bytes";
    struct Case {
        const char* name;
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"package", head + "[firmware]\npackage = \"files/huge.bin\"\nversion = \"x\"\n",
         PathOf("r.toml") + ":4: firmware.package: " + PathOf("files/huge.bin") + " " + limit +
             ", the most a package may have"},
        {"download", head + "[[download]]\nfile = \"files/huge.bin\"\nslot = 5\n",
         PathOf("r.toml") + ":4: download[1].file: " + PathOf("files/huge.bin") + " " + limit +
             ", the most slot 5 takes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recipe r;
        std::string error;
        EXPECT_FALSE(Load(c.text, r, error));
        EXPECT_EQ(error, c.expected);
    }
}

TEST_F(RecipeTest, PackageShorterThanItsHeaderIsRefused) {
    WriteBytesFile("files/short.pkg", Bytes{0xC9, 0x49, 1});
    Recipe r;
    std::string error;
    EXPECT_FALSE(
        Load("name = \"n\"\nvariant = \"v\"\n[firmware]\npackage = \"files/short.pkg\"\n"
             "version = \"x\"\n",
             r, error));
    EXPECT_NE(error.find("shorter than a package header"), std::string::npos) << error;
}

// A recipe that is no regular file, or far too large, is refused at once,
// never waited on: a FIFO would block a plain read until a writer came.
TEST_F(RecipeTest, RecipeThatCannotBeReadIsNamedWithTheReason) {
    ASSERT_EQ(mkfifo(PathOf("fifo.toml").c_str(), 0600), 0);
    std::filesystem::create_directory(PathOf("folder.toml"));
    WriteBytesFile("huge.toml", Bytes((1 << 20) + 1, '#'));
    struct Case {
        const char* name;
        std::string reason;
    };
    const Case cases[] = {
        {"none.toml", "No such file or directory"},
        {"fifo.toml", "not a regular file"},
        {"folder.toml", "not a regular file"},
        {"huge.toml", "File too large"},
    };
    for (const Case& c : cases) {
        Recipe r;
        std::string error;
        EXPECT_FALSE(LoadRecipe(PathOf(c.name), r, error));
        EXPECT_EQ(error, PathOf(c.name) + ": cannot read the file: " + c.reason);
    }
}

}  // namespace
