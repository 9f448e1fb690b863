#include "app/about_dlg.h"

#include <cstdio>

#include "dialog/dialog_view.h"
#include "firmware/prg_folder.h"
#include "res/resource.h"
#include "res/version.h"

namespace {
// Room for one formatted version number.
constexpr std::size_t kNumberTextSize = 16;
constexpr char kTesterPackageExtension[] = ".tpg";
constexpr char kStampSeparator[] = "  ";

std::string Format(const char* format, int value) {
    char text[kNumberTextSize];
    std::snprintf(text, sizeof text, format, value);
    return text;
}
}  // namespace

bool CAboutDlg::OnInitDialog(IDialogView& view) {
    view.SetItemText(IDC_TOOL_VERSION, VersionText());
    view.SetItemText(IDC_BUILD_TIME, BuildStampText());
    ListTesterPackages(view);
    return true;
}

std::string CAboutDlg::VersionText() {
    std::string strFmt = Format("%d", kToolVersionMajor);
    std::string strVer = "V" + strFmt + ".";
    strFmt = Format("%.2d", kToolVersionMinor);
    return strVer + strFmt;
}

std::string CAboutDlg::BuildStampText() {
    const std::string strDate = BuildDateText();
    const std::string strTime = BuildTimeText();
    return strTime + kStampSeparator + strDate;
}

void CAboutDlg::ListTesterPackages(IDialogView& view) {
    FillComboWithPrgEntries(view, IDC_TESTER_PACKAGES, kTesterPackageExtension);
}
