#include "base/utf8_text.h"

namespace {

// The highest code point Unicode has.
constexpr char32_t kMaxCodePoint = 0x10FFFF;
constexpr char32_t kFirstSurrogate = 0xD800;
constexpr char32_t kLastSurrogate = 0xDFFF;

}  // namespace

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
