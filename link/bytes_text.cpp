#include "link/bytes_text.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";
// The highest code point Unicode has.
constexpr std::uint32_t kMaxCodePoint = 0x10FFFF;
constexpr std::uint32_t kFirstSurrogate = 0xD800;
constexpr std::uint32_t kLastSurrogate = 0xDFFF;

// Converts `text` from `charset` to UTF-8. Strict: nullopt at the first invalid
// or cut-off sequence. Lossy: such a byte becomes one U+FFFD and is skipped.
// nullopt, too, when iconv does not know the character set.
std::optional<std::string> Convert(const char* charset, const std::string& text, bool lossy) {
    iconv_t cd = iconv_open("UTF-8", charset);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::vector<char> in(text.begin(), text.end());
    std::string out;
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char chunk[256];
    bool valid = true;
    while (inLeft > 0) {
        char* outPtr = chunk;
        std::size_t outLeft = sizeof chunk;
        const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(chunk, static_cast<std::size_t>(outPtr - chunk));
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
            if (!lossy) {
                valid = false;
                break;
            }
            out += kReplacement;
            ++inPtr;
            --inLeft;
        }
    }
    iconv_close(cd);
    if (!valid)
        return std::nullopt;
    return out;
}

// Length of the UTF-8 sequence starting at `text[i]` when it is well formed
// (shortest form, no surrogate, at most U+10FFFF), else 0.
std::size_t WellFormedLength(const std::string& text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length;
    std::uint32_t cp;
    std::uint32_t minimum;
    if (lead < 0x80) {
        return 1;
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
        return 0;  // a continuation byte, or the lead of a 5- or 6-byte form
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (c & 0x3Fu);
    }
    if (cp < minimum || cp > kMaxCodePoint || (cp >= kFirstSurrogate && cp <= kLastSurrogate))
        return 0;
    return length;
}

// Well-formed UTF-8: every byte that starts no well-formed sequence becomes
// one U+FFFD.
std::string WellFormed(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t n = WellFormedLength(text, i);
        if (n == 0) {
            out += kReplacement;
            ++i;
        } else {
            out.append(text, i, n);
            i += n;
        }
    }
    return out;
}

std::optional<std::string> ConvertBoxText(const std::string& text) {
    const char* forced = std::getenv(kBoxCharsetVariable);
    if (forced != nullptr && *forced != '\0') {
        if (auto converted = Convert(forced, text, true))
            return converted;
    }
    const char* locale = nl_langinfo(CODESET);
    if (auto converted = Convert(locale, text, false))
        return converted;
    if (auto converted = Convert(kFallbackBoxCharset, text, false))
        return converted;
    return Convert(locale, text, true);
}

}  // namespace

std::string BytesToText(const std::uint8_t* bytes, std::size_t count) {
    if (bytes == nullptr)
        return {};
    const std::size_t length = strnlen(reinterpret_cast<const char*>(bytes), count);
    if (length == 0)
        return {};
    const std::string text(reinterpret_cast<const char*>(bytes), length);
    // An unknown locale character set leaves the bytes as they are, made
    // well formed.
    return WellFormed(ConvertBoxText(text).value_or(text));
}

std::string BytesToHex(const std::uint8_t* bytes, std::size_t count) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}
