#pragma once
// A whole file read into memory before any byte of it is sent. The transfers
// own the image for their length; it is released at every way out with the
// vector that holds it.

#include <cstdint>
#include <string>
#include <vector>

enum class ImageLoad {
    Ok,
    // Missing, unreadable, or not a regular file (a folder named like a package,
    // a FIFO, a device): nothing waits on such a file.
    OpenFailed,
    NoMemory,
    // Fewer bytes arrived than the file's length.
    ShortRead,
    // The length does not fit the 32-bit length fields of the transfers, or
    // exceeds the caller's limit.
    TooLarge,
};

// Reads the file at `path` whole into `image` (resized to the file's length).
// A file longer than `maxLength` is refused by its length alone, unread. On
// any result but Ok, `image` is left empty.
ImageLoad ReadFileImage(const std::string& path, std::vector<std::uint8_t>& image);
ImageLoad ReadFileImage(const std::string& path, std::vector<std::uint8_t>& image,
                        std::uint64_t maxLength);
