// The tester information dialog's core over a headless model: version, build
// stamp and the tester package list of the Prg folder.

#include "app/about_dlg.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "dialog/dialog_model.h"
#include "res/resource.h"
#include "res/version.h"
#include "tests/support/temp_dir.h"
#include "tests/support/working_dir_scope.h"

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

namespace {

// Time, two spaces, date with a space-padded day: "09:46:39  Jan 10 2022".
const std::regex kStampPattern(
    R"(^([01]\d|2[0-3]):[0-5]\d:[0-5]\d  (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) ( [1-9]|[12]\d|3[01]) \d{4}$)");

class AboutDlgTest : public ::testing::Test {
protected:
    void Touch(const std::string& name) {
        fs::create_directories(m_workDir / "Prg");
        std::ofstream(m_workDir / "Prg" / name) << "x";
    }
    std::vector<std::string> Items(const CDialogModel& model) {
        return model.GetControl(IDC_TESTER_PACKAGES).items;
    }

    CTempDir m_work{"about"};
    fs::path m_workDir{m_work.Path()};
    CWorkingDirScope m_cwd{m_workDir};
};

}  // namespace

// The tester dialog's version and the one --version prints are one number.
TEST(AboutDlgTexts, VersionAndBuildStamp) {
    EXPECT_EQ(CAboutDlg::VersionText(), "V1.02");
    EXPECT_STREQ(kToolVersionText, "1.2");
    const std::string stamp = CAboutDlg::BuildStampText();
    EXPECT_TRUE(std::regex_match(stamp, kStampPattern)) << stamp;
}

TEST_F(AboutDlgTest, OpeningFillsVersionStampAndTesterPackages) {
    Touch("a.tpg");
    Touch("b.tpg");
    Touch("c.pkg");
    CDialogModel model;
    CAboutDlg dlgAbout;
    EXPECT_TRUE(dlgAbout.OnInitDialog(model));

    EXPECT_EQ(model.GetItemText(IDC_TOOL_VERSION), "V1.02");
    EXPECT_TRUE(std::regex_match(model.GetItemText(IDC_BUILD_TIME), kStampPattern));
    EXPECT_THAT(Items(model), UnorderedElementsAre("a.tpg", "b.tpg"));
    EXPECT_EQ(model.ComboGetCurSel(IDC_TESTER_PACKAGES), 0);
    // The fields nothing writes stay empty.
    for (int id : {IDC_TESTER_FW_VERSION, IDC_TESTER_SERIAL, IDC_TESTER_STATUS})
        EXPECT_EQ(model.GetItemText(id), "") << id;
}

TEST_F(AboutDlgTest, NoTesterPackages) {
    for (bool withFolder : {false, true}) {
        if (withFolder)
            Touch("only.pkg");
        CDialogModel model;
        CAboutDlg().OnInitDialog(model);
        EXPECT_THAT(Items(model), IsEmpty()) << withFolder;
        EXPECT_EQ(model.ComboGetCurSel(IDC_TESTER_PACKAGES), -1) << withFolder;
    }
    // The dialog never creates the folder.
    fs::remove_all(m_workDir / "Prg");
    CDialogModel model;
    CAboutDlg().OnInitDialog(model);
    EXPECT_FALSE(fs::exists(m_workDir / "Prg"));
}

TEST_F(AboutDlgTest, ReopeningListsWhatIsThereNow) {
    Touch("a.tpg");
    CDialogModel first;
    CAboutDlg().OnInitDialog(first);
    EXPECT_THAT(Items(first), ElementsAre("a.tpg"));

    fs::remove(m_workDir / "Prg" / "a.tpg");
    Touch("z.tpg");
    CDialogModel second;
    CAboutDlg().OnInitDialog(second);
    EXPECT_THAT(Items(second), ElementsAre("z.tpg"));
}
