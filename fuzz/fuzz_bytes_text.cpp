// Box text to display text: whatever the bytes, the result is valid UTF-8 and
// the hex form has two digits per byte.
#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "base/bytes_text.h"
#include "fuzz/utf8_check.h"

// Under a UTF-8 locale the conversion is UTF-8 to UTF-8, where iconv itself
// lets overlong and out-of-range forms through.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::setlocale(LC_ALL, "C.UTF-8");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = BytesToText(data, size);
    if (!IsValidUtf8(text))
        std::abort();
    if (BytesToHex(data, size).size() != 2 * size)
        std::abort();
    return 0;
}
