#pragma once
// CAboutDlg: the tester information dialog's behaviour, free of any toolkit.
//
// It shows the tool's version and build stamp and lists the tester packages
// (*.tpg) of the Prg folder; none of its buttons does anything and it never
// talks to the box. The window renders dialog template 132 over a model of its
// own and calls OnInitDialog each time the dialog opens, so the list is read
// afresh. A program that uses it links vornak_build_stamp (res/), the stamp
// written at every build.

#include <string>

class IDialogView;

class CAboutDlg {
public:
    CAboutDlg() = default;

    // Sets 1018 to the version, 1019 to the build stamp and fills 1017.
    bool OnInitDialog(IDialogView& view);

    // "V" + major + "." + minor with at least two digits: V1.02.
    static std::string VersionText();
    // Build time, two spaces, build date: "09:46:39  Jan 10 2022".
    static std::string BuildStampText();

private:
    // Fills 1017 with the *.tpg names of the Prg folder and selects the first.
    static void ListTesterPackages(IDialogView& view);
};
