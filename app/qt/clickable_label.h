#pragma once
// A static text that reports clicks, as a static with the notify style does:
// a press of the left button is a click; the second press of a double click
// is not, so a quick double click counts once.

#include <QLabel>
#include <QMouseEvent>

class CClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton)
            emit clicked();
        QLabel::mousePressEvent(event);
    }
    // QWidget's own handler would treat the second press as another click.
    void mouseDoubleClickEvent(QMouseEvent* event) override { event->accept(); }
};
