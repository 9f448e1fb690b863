#pragma once
// A combo box that says when its list is about to drop down, so that the
// window can fill it afresh first (the package list follows the Prg folder).

#include <QComboBox>

class CDropDownCombo : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;

signals:
    // Emitted before the list shows; entries changed by a receiver connected
    // directly are the ones the list shows.
    void aboutToDropDown();

public:
    void showPopup() override {
        emit aboutToDropDown();
        QComboBox::showPopup();
    }
};
