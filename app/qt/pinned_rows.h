#pragma once
// CPinnedRows: the connect row and the status line kept in view on a screen
// too small for the window.
//
// Principles of operation. Normally the whole page scrolls in the window's
// client area (and on a screen the window fits, nothing scrolls). When the
// client area is smaller than the page, the controls of the connect row (the
// left panel's controls above the identity fields) move into a strip above
// the scroll area and those of the status row (the left panel's controls from
// the status line down) into a strip below it, each at its place in the row;
// the page keeps the rest. The operator then sees the outcome of 写入设置 or
// 恢复出厂 and the connect state whatever part of the panel is scrolled to.
// When the page fits again the controls go back to their template places.
//
// Threads: the GUI thread only.

#include <QRect>
#include <QSize>
#include <vector>

class QScrollArea;
class QWidget;
class CDialogPage;

class CPinnedRows {
public:
    // `page` is the scroll area's widget; the strips are children of `window`.
    CPinnedRows(CDialogPage& page, QScrollArea& scroll, QWidget& window);

    // Lays out a client area of `client` for a page of `pageSize`.
    void Layout(QSize client, QSize pageSize);
    bool Pinned() const { return m_pinned; }

private:
    struct Row {
        QWidget* strip = nullptr;
        std::vector<QWidget*> widgets;
        std::vector<QRect> pageRects;
        int top = 0;     // of the row's first control on the page
        int bottom = 0;  // of its lowest control
    };
    void Pin(bool pin);
    // The strip's height for `row`: the row with a margin above and below.
    int StripHeight(const Row& row) const;

    CDialogPage& m_page;
    QScrollArea& m_scroll;
    Row m_connectRow;
    Row m_statusRow;
    int m_margin = 0;
    bool m_pinned = false;
};
