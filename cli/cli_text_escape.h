#pragma once
// Texts vornak-cli prints come from outside (file names, the box's version
// text, system messages). Each is printed as one line that can't pose as
// another: control characters and invalid UTF-8 are escaped, valid UTF-8
// (Chinese included) passes unchanged.

#include <cstdio>
#include <string>
#include <string_view>

// `text` with \n, \r and \t for those characters, and \xNN for every other
// byte of a control character (C0, DEL, and the C1 range U+0080..U+009F, which
// terminals also obey) or of invalid UTF-8 (overlong or surrogate forms, code
// points above U+10FFFF, stray or missing continuation bytes). A backslash is
// left as it is.
std::string EscapeForOutput(std::string_view text);

// Prints "vornak-cli: MESSAGE" (escaped) as one line on `err` and flushes it.
void PrintCliMessage(std::FILE* err, std::string_view message);
