#include "base/natural_order.h"

#include <cctype>
#include <cstddef>

namespace {
bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

char Folded(char c, NameCase nameCase) {
    if (nameCase == NameCase::IgnoreAscii && c >= 'A' && c <= 'Z')
        return static_cast<char>(c - 'A' + 'a');
    return c;
}
}  // namespace

bool NaturalLess(const std::string& a, const std::string& b, NameCase nameCase) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            std::size_t ei = i;
            std::size_t ej = j;
            while (ei < a.size() && IsDigit(a[ei]))
                ++ei;
            while (ej < b.size() && IsDigit(b[ej]))
                ++ej;
            // Compare values without converting: skip leading zeros, then length.
            std::size_t si = i;
            std::size_t sj = j;
            while (si + 1 < ei && a[si] == '0')
                ++si;
            while (sj + 1 < ej && b[sj] == '0')
                ++sj;
            if (ei - si != ej - sj)
                return ei - si < ej - sj;
            const int c = a.compare(si, ei - si, b, sj, ej - sj);
            if (c != 0)
                return c < 0;
            i = ei;
            j = ej;
        } else {
            const char ca = Folded(a[i], nameCase);
            const char cb = Folded(b[j], nameCase);
            if (ca != cb)
                return ca < cb;
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}
