#include "station/config/digest.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "base/bytes_text.h"

std::string Sha256Hex(const std::uint8_t* bytes, std::size_t count) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(),
                                                                      &EVP_MD_CTX_free);
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1 ||
        EVP_DigestUpdate(ctx.get(), bytes, count) != 1 ||
        EVP_DigestFinal_ex(ctx.get(), digest, &length) != 1) {
        return {};
    }
    return BytesToLowerHex(digest, length);
}

bool IsSha256Hex(const std::string& text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(),
                                            [](unsigned char c) { return std::isxdigit(c) != 0; });
}
