#pragma once
// CAboutWindow: the tester information dialog (template 132), run modally from
// the main window. Its behaviour is CAboutDlg's; the window renders a model of
// its own, read afresh at each opening. None of its buttons does anything.

#include <QDialog>
#include <memory>

#include "app/about_dlg.h"
#include "app/qt/dialog_metrics.h"
#include "dialog/dialog_model.h"

class CDialogPage;

class CAboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit CAboutWindow(const DialogMetrics& metrics, QWidget* parent = nullptr);

    CDialogPage& Page() { return *m_page; }

private:
    std::shared_ptr<CDialogModel> m_model;
    CDialogPage* m_page;
    CAboutDlg m_dlgAbout;
};
