// The escaping of printed texts, byte by byte.

#include "cli/cli_text_escape.h"

#include <gtest/gtest.h>

TEST(CliTextEscape, EscapesControlsAndInvalidUtf8AndKeepsTheRest) {
    struct Case {
        const char* name;
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"plain and Chinese", "固件 V1.2 \\ ok", "固件 V1.2 \\ ok"},
        {"four-byte form", "\xF0\x9F\x94\xA7", "\xF0\x9F\x94\xA7"},
        {"line controls", "a\nb\rc\td", "a\\nb\\rc\\td"},
        {"other C0 and DEL", std::string("\x00\x1B[\x7F", 4), "\\x00\\x1B[\\x7F"},
        {"C1 control", "a\xC2\x85z", "a\\xC2\\x85z"},
        {"stray continuation", "\x80z", "\\x80z"},
        {"cut-off sequence", "\xE4\xB8", "\\xE4\\xB8"},
        {"cut-off then valid", "\xE4\xB8中", "\\xE4\\xB8中"},
        {"overlong", "\xC0\xAF", "\\xC0\\xAF"},
        {"surrogate", "\xED\xA0\x80", "\\xED\\xA0\\x80"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
        {"five-byte form", "\xF8\x88\x80\x80\x80", "\\xF8\\x88\\x80\\x80\\x80"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EscapeForOutput(c.in), c.out);
    }
}
