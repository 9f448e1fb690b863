#include "base/utf8_text.h"

#include <cstdio>
#include <iterator>

namespace {

// The highest code point Unicode has.
constexpr char32_t kMaxCodePoint = 0x10FFFF;
constexpr char32_t kFirstSurrogate = 0xD800;
constexpr char32_t kLastSurrogate = 0xDFFF;

struct CodePointRange {
    char32_t first;
    char32_t last;
};

// Unicode 15's Cc and Cf characters, with U+2028 (Zl) and U+2029 (Zp).
constexpr CodePointRange kInvisible[] = {
    {0x0000, 0x001F},   {0x007F, 0x009F},   {0x00AD, 0x00AD},   {0x0600, 0x0605},
    {0x061C, 0x061C},   {0x06DD, 0x06DD},   {0x070F, 0x070F},   {0x0890, 0x0891},
    {0x08E2, 0x08E2},   {0x180E, 0x180E},   {0x200B, 0x200F},   {0x2028, 0x202E},
    {0x2060, 0x2064},   {0x2066, 0x206F},   {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},
    {0x110BD, 0x110BD}, {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3},
    {0x1D173, 0x1D17A}, {0xE0001, 0xE0001}, {0xE0020, 0xE007F},
};

}  // namespace

std::string FirstControlCharacter(std::string_view text) {
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            char shown[8];
            std::snprintf(shown, sizeof shown, "\\x%02X", static_cast<unsigned>(u));
            return shown;
        }
    }
    return {};
}

bool IsInvisibleCodePoint(char32_t cp) {
    for (const CodePointRange& range : kInvisible) {
        if (cp >= range.first && cp <= range.last)
            return true;
    }
    return false;
}

std::string FirstInvisibleCharacter(std::string_view text) {
    while (!text.empty()) {
        char32_t cp = 0;
        const std::size_t n = Utf8SequenceLength(text, &cp);
        if (n != 0 && IsInvisibleCodePoint(cp)) {
            char shown[16];
            std::snprintf(shown, sizeof shown, "U+%04X", static_cast<unsigned>(cp));
            return shown;
        }
        text.remove_prefix(n == 0 ? 1 : n);
    }
    return {};
}

std::size_t Utf8SequenceLength(std::string_view text, char32_t* codePoint) {
    if (text.empty())
        return 0;
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length;
    char32_t cp;
    char32_t minimum;
    if (lead < 0x80) {
        length = 1;
        cp = lead;
        minimum = 0;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        cp = lead & 0x1Fu;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        cp = lead & 0x0Fu;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        cp = lead & 0x07u;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(text[k]);
        if ((c & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (c & 0x3Fu);
    }
    if (cp < minimum || cp > kMaxCodePoint || (cp >= kFirstSurrogate && cp <= kLastSurrogate))
        return 0;
    if (codePoint != nullptr)
        *codePoint = cp;
    return length;
}

std::string WellFormedUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::size_t n = Utf8SequenceLength(text);
        if (n == 0) {
            out += kUtf8Replacement;
            text.remove_prefix(1);
        } else {
            out.append(text.substr(0, n));
            text.remove_prefix(n);
        }
    }
    return out;
}
