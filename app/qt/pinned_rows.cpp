#include "app/qt/pinned_rows.h"

#include <QScrollArea>
#include <QWidget>
#include <algorithm>
#include <climits>

#include "app/qt/dialog_page.h"
#include "res/dialog_templates.h"
#include "res/resource.h"

CPinnedRows::CPinnedRows(CDialogPage& page, QScrollArea& scroll, QWidget& window)
    : m_page(page), m_scroll(scroll) {
    const QRect identity = page.Control(IDC_VERSION)->geometry();
    const QRect status = page.Control(IDC_STATUS)->geometry();
    for (Row* row : {&m_connectRow, &m_statusRow}) {
        row->strip = new QWidget(&window);
        row->strip->hide();
        row->top = INT_MAX;
    }
    for (const RenderedControl& r : page.Controls()) {
        if (r.control->rect.x >= kSettingsPanelLeft)
            continue;
        const QRect rect = r.widget->geometry();
        Row* row = nullptr;
        if (rect.top() < identity.top())
            row = &m_connectRow;
        else if (rect.top() >= status.top())
            row = &m_statusRow;
        if (row == nullptr)
            continue;
        row->widgets.push_back(r.widget);
        row->pageRects.push_back(rect);
        row->top = std::min(row->top, rect.top());
        row->bottom = std::max(row->bottom, rect.bottom() + 1);
    }
    // The connect row keeps the distance it has from the page's top edge.
    m_margin = m_connectRow.top / 2;
}

int CPinnedRows::StripHeight(const Row& row) const {
    return row.bottom - row.top + 2 * m_margin;
}

void CPinnedRows::Layout(QSize client, QSize pageSize) {
    const bool pin = client.width() < pageSize.width() || client.height() < pageSize.height();
    if (pin != m_pinned)
        Pin(pin);
    if (!m_pinned) {
        m_scroll.setGeometry(QRect(QPoint(0, 0), client));
        return;
    }
    const int top = StripHeight(m_connectRow);
    const int bottom = StripHeight(m_statusRow);
    m_connectRow.strip->setGeometry(0, 0, client.width(), top);
    m_statusRow.strip->setGeometry(0, client.height() - bottom, client.width(), bottom);
    m_scroll.setGeometry(0, top, client.width(), std::max(0, client.height() - top - bottom));
}

void CPinnedRows::Pin(bool pin) {
    m_pinned = pin;
    for (Row* row : {&m_connectRow, &m_statusRow}) {
        for (std::size_t i = 0; i < row->widgets.size(); ++i) {
            QWidget* widget = row->widgets[i];
            // Reparenting hides a widget: the model's choice is kept.
            const bool shown = !widget->isHidden();
            QRect rect = row->pageRects[i];
            if (pin) {
                widget->setParent(row->strip);
                rect.translate(0, m_margin - row->top);
            } else {
                widget->setParent(&m_page);
            }
            widget->setGeometry(rect);
            widget->setVisible(shown);
        }
        row->strip->setVisible(pin);
    }
    m_page.ChainTabOrder();
}
