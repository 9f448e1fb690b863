// Box texts: the character set chosen for them and the UTF-8 that comes out.
#include "base/bytes_text.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <clocale>
#include <string>

namespace {

// GB18030 (and GBK) bytes of "版本 V2" and the same text in UTF-8.
const std::string kGbText = "\xB0\xE6\xB1\xBE V2";
const std::string kUtf8Text = "\xE7\x89\x88\xE6\x9C\xAC V2";
const std::string kFffd = "\xEF\xBF\xBD";

std::string Text(const std::string& bytes) {
    return BytesToText(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

// Runs under a locale and a VORNAK_BOX_CHARSET (null: unset), restoring both.
class BoxCharset {
public:
    BoxCharset(const char* locale, const char* charset) {
        std::setlocale(LC_ALL, locale);
        if (charset != nullptr)
            setenv(kBoxCharsetVariable, charset, 1);
        else
            unsetenv(kBoxCharsetVariable);
    }
    ~BoxCharset() {
        std::setlocale(LC_ALL, "C");
        unsetenv(kBoxCharsetVariable);
    }
};

TEST(BytesText, CharsetChoice) {
    struct Case {
        const char* what;
        const char* locale;
        const char* charset;
        std::string bytes;
        std::string text;
    };
    const Case cases[] = {
        {"ASCII under C", "C", nullptr, "VK-BCM V2.00", "VK-BCM V2.00"},
        {"ASCII under UTF-8", "C.UTF-8", nullptr, "VK-BCM V2.00", "VK-BCM V2.00"},
        {"valid UTF-8 stays", "C.UTF-8", nullptr, kUtf8Text, kUtf8Text},
        {"GBK under UTF-8", "C.UTF-8", nullptr, kGbText, kUtf8Text},
        {"GBK under C", "C", nullptr, kGbText, kUtf8Text},
        // B0 is no UTF-8 lead byte; E6 B1 BE happens to be one UTF-8 character.
        {"override wins", "C.UTF-8", "UTF-8", kGbText, kFffd + "\xE6\xB1\xBE V2"},
        {"override GB18030", "C.UTF-8", "GB18030", kGbText, kUtf8Text},
        {"unknown override ignored", "C.UTF-8", "NO-SUCH-SET", kGbText, kUtf8Text},
        {"invalid in both", "C.UTF-8", nullptr,
         "A\xFF"
         "B",
         "A" + kFffd + "B"},
        {"ends at zero", "C.UTF-8", nullptr, std::string("AB\0CD", 5), "AB"},
        // Forms UTF-8 never allows, whether or not iconv passes them on.
        {"5-byte form", "C.UTF-8", "UTF-8", "\xF8\x88\x80\x80\x80",
         kFffd + kFffd + kFffd + kFffd + kFffd},
        {"6-byte form", "C.UTF-8", "UTF-8", "\xFC\x84\x80\x80\x80\x80",
         kFffd + kFffd + kFffd + kFffd + kFffd + kFffd},
        {"above U+10FFFF", "C.UTF-8", "UTF-8", "\xF4\x90\x80\x80", kFffd + kFffd + kFffd + kFffd},
        {"surrogate", "C.UTF-8", "UTF-8", "\xED\xA0\x80", kFffd + kFffd + kFffd},
        {"overlong", "C.UTF-8", "UTF-8", "\xC0\xAF", kFffd + kFffd},
        {"U+10FFFF kept", "C.UTF-8", nullptr, "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BoxCharset scope(c.locale, c.charset);
        EXPECT_EQ(Text(c.bytes), c.text);
    }
}

TEST(BytesText, NullIsEmpty) {
    EXPECT_EQ(BytesToText(nullptr, 0), "");
    EXPECT_EQ(BytesToText(nullptr, 8), "");
}

}  // namespace
