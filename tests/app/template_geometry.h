#pragma once
// Rectangles of template controls as the operator sees them.

#include "res/dialog_templates.h"

// Height of a combo box's field in dialog units; the template's height is its
// opened list.
constexpr int kComboFieldHeight = 12;

// The rectangle a control covers on screen: a combo box's field, not its list.
inline DialogRect ShownRect(const DialogControl& c) {
    DialogRect r = c.rect;
    if (c.kind == ControlKind::ComboBox)
        r.cy = kComboFieldHeight;
    return r;
}

inline bool Overlap(const DialogRect& a, const DialogRect& b) {
    return a.x < b.Right() && b.x < a.Right() && a.y < b.Bottom() && b.y < a.Bottom();
}
