// Runs in a working directory of its own: the current directory is
// process-wide, so these tests stay in this executable and on one thread.
#include "firmware/prg_folder.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dialog/dialog_model.h"
#include "res/resource.h"
#include "tests/support/temp_dir.h"
#include "tests/support/working_dir_scope.h"

namespace fs = std::filesystem;

namespace {

class PrgFolderTest : public ::testing::Test {
protected:
    static void Touch(const fs::path& p) { std::ofstream(p) << "x"; }

    static std::vector<std::string> Sorted(std::vector<std::string> v) {
        std::sort(v.begin(), v.end());
        return v;
    }

    CTempDir m_work{"prg"};
    fs::path m_dir{m_work.Path()};
    CWorkingDirScope m_cwd{m_dir};
};

TEST_F(PrgFolderTest, WorkDirIsTheCurrentDirectory) {
    EXPECT_EQ(GetWorkDir(), m_dir.string());
}

TEST_F(PrgFolderTest, CreatesTheFolderOnceAndLeavesAnExistingOneAlone) {
    EXPECT_TRUE(ListPrgEntries(".pkg").empty());  // no folder yet
    EnsurePrgFolder();
    ASSERT_TRUE(fs::is_directory(m_dir / "Prg"));
    EXPECT_TRUE(ListPrgEntries(".pkg").empty());

    Touch(m_dir / "Prg" / "kept.pkg");
    EnsurePrgFolder();
    EXPECT_EQ(ListPrgEntries(".pkg"), std::vector<std::string>{"kept.pkg"});
}

TEST_F(PrgFolderTest, ListsMatchingNamesFoldersIncluded) {
    EnsurePrgFolder();
    const fs::path prg = m_dir / "Prg";
    for (const char* name : {"a.pkg", "b.pkg", "notes.txt", "c.pkg.bak", "UPPER.PKG", "t.tpg"}) {
        Touch(prg / name);
    }
    fs::create_directory(prg / "x.pkg");
    fs::create_directory(prg / "sub");
    Touch(prg / "sub" / "deep.pkg");

    EXPECT_EQ(Sorted(ListPrgEntries(".pkg")),
              (std::vector<std::string>{"UPPER.PKG", "a.pkg", "b.pkg", "x.pkg"}));
    EXPECT_EQ(ListPrgEntries(".tpg"), std::vector<std::string>{"t.tpg"});
}

// Names sort as the operator reads them: numbers by value, case ignored.
TEST_F(PrgFolderTest, ComboGetsTheEntriesInNaturalOrderWithTheFirstSelected) {
    EnsurePrgFolder();
    for (const char* name : {"v10.pkg", "v2.pkg", "B.pkg", "a.pkg", "v1.pkg", "V3.PKG"})
        Touch(m_dir / "Prg" / name);

    CDialogModel model;
    model.ComboInsert(IDC_PACKAGE_LIST, -1, "earlier");
    FillComboWithPrgEntries(model, IDC_PACKAGE_LIST, ".pkg");
    EXPECT_EQ(model.GetControl(IDC_PACKAGE_LIST).items,
              (std::vector<std::string>{"earlier", "a.pkg", "B.pkg", "v1.pkg", "v2.pkg", "V3.PKG",
                                        "v10.pkg"}));
    EXPECT_EQ(model.ComboGetCurSel(IDC_PACKAGE_LIST), 0);
}

// Reading the folder again keeps what the field shows: the same file stays
// selected while it exists; a vanished file or typed text stays as text with
// no selection, and typed text naming a file that has appeared selects it.
TEST_F(PrgFolderTest, RefillKeepsWhatTheFieldShows) {
    EnsurePrgFolder();
    const fs::path prg = m_dir / "Prg";
    Touch(prg / "v2.pkg");
    Touch(prg / "v10.pkg");
    CDialogModel model;
    FillComboWithPrgEntries(model, IDC_PACKAGE_LIST, ".pkg");
    model.ComboSetCurSel(IDC_PACKAGE_LIST, 1);  // v10.pkg

    Touch(prg / "v1.pkg");
    RefillComboWithPrgEntries(model, IDC_PACKAGE_LIST, ".pkg");
    EXPECT_EQ(model.GetControl(IDC_PACKAGE_LIST).items,
              (std::vector<std::string>{"v1.pkg", "v2.pkg", "v10.pkg"}));
    EXPECT_EQ(model.ComboGetCurSel(IDC_PACKAGE_LIST), 2);
    EXPECT_EQ(model.GetItemText(IDC_PACKAGE_LIST), "v10.pkg");

    fs::remove(prg / "v10.pkg");
    RefillComboWithPrgEntries(model, IDC_PACKAGE_LIST, ".pkg");
    EXPECT_EQ(model.ComboGetCount(IDC_PACKAGE_LIST), 2);
    EXPECT_EQ(model.ComboGetCurSel(IDC_PACKAGE_LIST), -1);
    EXPECT_EQ(model.GetItemText(IDC_PACKAGE_LIST), "v10.pkg");

    model.OperatorTypeComboText(IDC_PACKAGE_LIST, "v3.pkg");
    Touch(prg / "v3.pkg");
    RefillComboWithPrgEntries(model, IDC_PACKAGE_LIST, ".pkg");
    EXPECT_EQ(model.ComboGetCurSel(IDC_PACKAGE_LIST), 2);
    EXPECT_EQ(model.GetItemText(IDC_PACKAGE_LIST), "v3.pkg");
}

TEST_F(PrgFolderTest, EmptyListSelectsNothing) {
    EnsurePrgFolder();
    Touch(m_dir / "Prg" / "only.pkg");
    CDialogModel model;
    FillComboWithPrgEntries(model, IDC_TESTER_PACKAGES, ".tpg");
    EXPECT_EQ(model.ComboGetCount(IDC_TESTER_PACKAGES), 0);
    EXPECT_EQ(model.ComboGetCurSel(IDC_TESTER_PACKAGES), -1);
}

TEST_F(PrgFolderTest, UnreadableCurrentDirectoryCreatesNothingAnywhere) {
    const fs::path gone = m_dir / "gone";
    fs::create_directory(gone);
    fs::current_path(gone);
    fs::remove(gone);
    const bool rootPrgBefore = fs::exists("/Prg");

    EXPECT_EQ(GetWorkDir(), "");
    EnsurePrgFolder();
    EXPECT_TRUE(ListPrgEntries(".pkg").empty());
    if (!rootPrgBefore) {
        EXPECT_FALSE(fs::exists("/Prg"));
    }
    fs::current_path(m_dir);
}

}  // namespace
