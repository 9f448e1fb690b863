#include "layouts/file_image.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <new>
#include <stdexcept>

#include "base/regular_file.h"

namespace {
// Largest length the 32-bit length and offset fields of a transfer can carry.
constexpr std::uint64_t kMaxImageLength = std::numeric_limits<std::uint32_t>::max();
}  // namespace

ImageLoad ReadFileImage(const std::string& path, std::vector<std::uint8_t>& image) {
    return ReadFileImage(path, image, kMaxImageLength);
}

ImageLoad ReadFileImage(const std::string& path, std::vector<std::uint8_t>& image,
                        std::uint64_t maxLength) {
    image.clear();
    if (path.empty())
        return ImageLoad::OpenFailed;
    // Only a regular file, and a FIFO's open never waits for a writer.
    CFileDescriptor file(OpenRegularFile(path));
    if (file.Get() < 0)
        return ImageLoad::OpenFailed;
    struct stat st {};
    if (fstat(file.Get(), &st) != 0)
        return ImageLoad::OpenFailed;
    const auto length = static_cast<std::uint64_t>(st.st_size);
    if (length > kMaxImageLength || length > maxLength)
        return ImageLoad::TooLarge;

    try {
        image.resize(static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
        return ImageLoad::NoMemory;
    } catch (const std::length_error&) {
        return ImageLoad::NoMemory;
    }
    std::size_t got = 0;
    while (got < image.size()) {
        const ssize_t n = read(file.Get(), image.data() + got, image.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (got < image.size()) {
        std::vector<std::uint8_t>().swap(image);
        return ImageLoad::ShortRead;
    }
    return ImageLoad::Ok;
}
