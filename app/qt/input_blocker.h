#pragma once
// CInputBlocker: keeps the operator's input away from one window while a
// handler runs, without disabling or greying anything.
//
// Installed on the application, it swallows mouse buttons, wheel, keys,
// shortcuts and context menus aimed at the window or any of its controls.
// Everything else passes, so the window keeps painting and shows each text as
// the handler writes it; a close request is the window's own affair.

#include <QObject>

class QWidget;

class CInputBlocker : public QObject {
    Q_OBJECT
public:
    explicit CInputBlocker(QWidget* window);

    // Starts or stops swallowing input (an application-wide event filter).
    void SetActive(bool active);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    bool m_active = false;
};
