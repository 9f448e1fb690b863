#pragma once
// Well-formed UTF-8: the one decoder of the tool. Texts from outside (a box's
// 8-bit version text, file names, system messages) are checked here before
// they are shown, stored or printed.

#include <cstddef>
#include <string>
#include <string_view>

// U+FFFD, the replacement character, in UTF-8.
inline constexpr char kUtf8Replacement[] = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence at the start of `text` (shortest
// form, no surrogate, at most U+10FFFF), and its code point in `*codePoint`
// when given; 0, leaving `*codePoint` alone, when `text` is empty or starts
// with none (a stray continuation byte, the lead of a 5- or 6-byte form, a
// sequence cut short).
std::size_t Utf8SequenceLength(std::string_view text, char32_t* codePoint = nullptr);

// `text` with every byte that starts no well-formed sequence replaced by one
// U+FFFD.
std::string WellFormedUtf8(std::string_view text);

// The first ASCII control character of `text` (NUL to U+001F, DEL) as
// "\x1B", or empty when it has none.
std::string FirstControlCharacter(std::string_view text);

// Whether `cp` is a character a reader cannot see or that changes how the
// text around it reads: Unicode's control (Cc) and format (Cf) characters
// (direction marks and overrides, zero-width characters, the byte order
// mark, ...) and the line and paragraph separators.
bool IsInvisibleCodePoint(char32_t cp);

// The first such character of `text` as "U+202E", or empty when it has none
// (bytes that start no well-formed sequence are skipped: WellFormedUtf8's
// concern).
std::string FirstInvisibleCharacter(std::string_view text);
