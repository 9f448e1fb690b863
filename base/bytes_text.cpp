#include "base/bytes_text.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "base/utf8_text.h"

namespace {

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
            out += kUtf8Replacement;
            ++inPtr;
            --inLeft;
        }
    }
    iconv_close(cd);
    if (!valid)
        return std::nullopt;
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

std::string HexDigits(const char* digits, const std::uint8_t* bytes, std::size_t count) {
    std::string text;
    text.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
    }
    return text;
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
    return WellFormedUtf8(ConvertBoxText(text).value_or(text));
}

std::string BytesToHex(const std::uint8_t* bytes, std::size_t count) {
    return HexDigits("0123456789ABCDEF", bytes, count);
}

std::string BytesToLowerHex(const std::uint8_t* bytes, std::size_t count) {
    return HexDigits("0123456789abcdef", bytes, count);
}
