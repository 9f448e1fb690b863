#include "cli/cli_text_escape.h"

#include <cstdint>
#include <cstdio>

#include "base/utf8_text.h"

namespace {

constexpr unsigned char kDelete = 0x7F;
constexpr char32_t kFirstC1 = 0x80;
constexpr char32_t kLastC1 = 0x9F;

void AppendHex(std::string& out, unsigned char byte) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(byte));
    out += hex;
}

}  // namespace

std::string EscapeForOutput(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        char32_t codePoint = 0;
        const std::size_t length = Utf8SequenceLength(text, &codePoint);
        if (length == 0) {
            AppendHex(out, static_cast<unsigned char>(text[0]));
            text.remove_prefix(1);
            continue;
        }
        if (codePoint == '\n') {
            out += "\\n";
        } else if (codePoint == '\r') {
            out += "\\r";
        } else if (codePoint == '\t') {
            out += "\\t";
        } else if (codePoint < 0x20 || codePoint == kDelete ||
                   (codePoint >= kFirstC1 && codePoint <= kLastC1)) {
            for (std::size_t i = 0; i < length; ++i)
                AppendHex(out, static_cast<unsigned char>(text[i]));
        } else {
            out.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    return out;
}

void PrintCliMessage(std::FILE* err, std::string_view message) {
    std::fprintf(err, "vornak-cli: %s\n", EscapeForOutput(message).c_str());
    std::fflush(err);
}
