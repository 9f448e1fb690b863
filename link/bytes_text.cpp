#include "link/bytes_text.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {
constexpr char kReplacement[] = "\xEF\xBF\xBD";
}

std::string BytesToText(const std::uint8_t* bytes, std::size_t count) {
    const std::size_t length = strnlen(reinterpret_cast<const char*>(bytes), count);
    if (length == 0)
        return {};

    iconv_t cd = iconv_open("UTF-8", nl_langinfo(CODESET));
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::string(reinterpret_cast<const char*>(bytes), length);
    }
    std::vector<char> in(bytes, bytes + length);
    std::string out;
    char* inPtr = in.data();
    std::size_t inLeft = length;
    char chunk[256];
    while (inLeft > 0) {
        char* outPtr = chunk;
        std::size_t outLeft = sizeof chunk;
        const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(chunk, static_cast<std::size_t>(outPtr - chunk));
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // An invalid or cut-off sequence: show one replacement, skip a byte.
            out += kReplacement;
            ++inPtr;
            --inLeft;
        }
    }
    iconv_close(cd);
    return out;
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
