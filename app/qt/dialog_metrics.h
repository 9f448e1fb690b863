#pragma once
// How a dialog template's units become pixels on this screen.
//
// A template gives positions in dialog units of its font: x pixels = x units *
// baseX / 4 and y pixels = y units * baseY / 8, where baseX is the font's
// average width of the 52 letters a-z A-Z and baseY its height. The window's
// fixed pixel sizes
// (520 x 360, 1000 x 720) were chosen for base units of 7 x 13 px, which the
// template's own face "新宋体" at 10 pt gives on a 96 dpi screen.
//
// When that face is installed and measures 7 x 13 px it is used as it is.
// Otherwise (a CJK face of the system stands in for it, and such faces at
// 10 pt are taller; or the template's face measures otherwise on this screen)
// the base units are held at 7 x 13 px and the font is sized to fit them, so
// that the small window still shows exactly the whole left panel and the large
// one the settings panel as well.

#include <QFont>
#include <QRect>
#include <QSize>
#include <string_view>

#include "res/dialog_templates.h"

// Base units the window's pixel sizes were made for.
inline constexpr int kDesignBaseX = 7;
inline constexpr int kDesignBaseY = 13;

struct DialogMetrics {
    QFont font;
    int baseX = kDesignBaseX;
    int baseY = kDesignBaseY;
    bool templateFace = false;  // the template's own face is used

    int X(int units) const;
    int Y(int units) const;
    QRect Rect(const DialogRect& r) const;
    QSize Size(int cx, int cy) const { return {X(cx), Y(cy)}; }
};

// Base units of `font`: the rounded average width of a-z A-Z and the font's
// height.
QSize MeasureBaseUnits(const QFont& font);

// The font and base units for a template's face and size on this system.
DialogMetrics ChooseDialogMetrics(std::string_view face, int pointSize);
