#include "app/qt/input_blocker.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace {
bool IsOperatorInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            return true;
        default:
            return false;
    }
}
}  // namespace

CInputBlocker::CInputBlocker(QWidget* window) : QObject(window), m_window(window) {}

void CInputBlocker::SetActive(bool active) {
    if (active == m_active)
        return;
    m_active = active;
    if (active)
        QCoreApplication::instance()->installEventFilter(this);
    else
        QCoreApplication::instance()->removeEventFilter(this);
}

bool CInputBlocker::eventFilter(QObject* watched, QEvent* event) {
    if (!IsOperatorInput(event->type()))
        return false;
    // Input reaches the window's native window first and its controls next;
    // stopping it at the first keeps a swallowed click from moving the focus.
    if (watched == m_window->windowHandle())
        return true;
    auto* widget = qobject_cast<QWidget*>(watched);
    return widget != nullptr && (widget == m_window || m_window->isAncestorOf(widget));
}
