#include "firmware/file_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <new>
#include <stdexcept>

namespace {
// Largest length the 32-bit length and offset fields of a transfer can carry.
constexpr std::uint64_t kMaxImageLength = std::numeric_limits<std::uint32_t>::max();

class CFileDescriptor {
public:
    explicit CFileDescriptor(int fd) : m_fd(fd) {}
    ~CFileDescriptor() {
        if (m_fd >= 0)
            close(m_fd);
    }
    CFileDescriptor(const CFileDescriptor&) = delete;
    CFileDescriptor& operator=(const CFileDescriptor&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};
}  // namespace

ImageLoad ReadFileImage(const std::string& path, std::vector<std::uint8_t>& image) {
    image.clear();
    if (path.empty())
        return ImageLoad::OpenFailed;
    CFileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0)
        return ImageLoad::OpenFailed;
    struct stat st {};
    if (fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return ImageLoad::OpenFailed;
    const auto length = static_cast<std::uint64_t>(st.st_size);
    if (length > kMaxImageLength)
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
