#include "dialog/error_text.h"

#include <cstdio>

#include "res/status_texts.h"

std::string ErrorText(std::uint16_t code) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(code));
    return kTextErrorPrefix + std::string(digits);
}
