#pragma once
// Reply data turned into display text (UTF-8).

#include <cstddef>
#include <cstdint>
#include <string>

// The environment variable that names the character set of the box's texts
// (an iconv name such as GB18030 or UTF-8); it overrides the choice below.
constexpr char kBoxCharsetVariable[] = "VORNAK_BOX_CHARSET";
// The character set tried when a text is not valid in the locale's: boxes are
// configured on Chinese Windows stations, whose code page it covers.
constexpr char kFallbackBoxCharset[] = "GB18030";

// 8-bit text converted with iconv. The text ends at the first zero byte or
// after `count` bytes; null `bytes` gives an empty text. The character set is
// $VORNAK_BOX_CHARSET when set (and known to iconv), else the locale's when the
// whole text is valid in it (so ASCII and valid UTF-8 stay as they are), else
// GB18030 when the whole text is valid there, else the locale's again. Bytes
// that are not valid in the chosen set show as U+FFFD rather than being
// dropped, and so does anything in the result that is not well-formed UTF-8
// (overlong, surrogate, 5- and 6-byte forms, code points above U+10FFFF).
std::string BytesToText(const std::uint8_t* bytes, std::size_t count);

// Two upper-case hexadecimal digits per byte, no separators.
std::string BytesToHex(const std::uint8_t* bytes, std::size_t count);
// The same in lower case, as digests and keys are written.
std::string BytesToLowerHex(const std::uint8_t* bytes, std::size_t count);
