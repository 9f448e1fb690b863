#include "app/qt/about_window.h"

#include "app/qt/dialog_page.h"
#include "app/qt/to_qstring.h"
#include "res/dialog_templates.h"
#include "res/resource.h"

CAboutWindow::CAboutWindow(const DialogMetrics& metrics, QWidget* parent)
    : QDialog(parent), m_model(std::make_shared<CDialogModel>()) {
    const DialogTemplate& dialogTemplate = *FindDialogTemplate(IDD_ABOUTBOX);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(ToQString(dialogTemplate.caption));
    m_page = new CDialogPage(dialogTemplate, metrics, m_model, this);
    setFixedSize(m_page->size());

    // Everything here runs on the GUI thread and before the dialog shows, so
    // the page is brought in line with the model once instead of following it.
    m_page->SeedModel();
    m_dlgAbout.OnInitDialog(*m_model);
    m_page->SyncFromModel();
    if (QWidget* first = m_page->FirstTabStop())
        first->setFocus(Qt::OtherFocusReason);
}
