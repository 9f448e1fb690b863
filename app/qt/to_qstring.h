#pragma once
// Texts below app/ are UTF-8 std::string or string_view; the window shows them
// through this one conversion.

#include <QString>
#include <string_view>

inline QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
