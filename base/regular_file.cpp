#include "base/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

static_assert(kNotRegularFileError == EINVAL);

namespace {
// Read size for whole-file reads.
constexpr std::size_t kReadChunk = 64 * 1024;
}  // namespace

CFileDescriptor::~CFileDescriptor() {
    if (m_fd >= 0)
        close(m_fd);
}

int OpenRegularFile(const std::string& path) {
    if (path.empty()) {
        errno = ENOENT;
        return -1;
    }
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    int error = 0;
    if (fstat(fd, &st) != 0)
        error = errno;
    else if (!S_ISREG(st.st_mode))
        error = kNotRegularFileError;
    else if (const int flags = fcntl(fd, F_GETFL);
             flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        error = errno;
    if (error != 0) {
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

std::string FileErrorText(int error) {
    if (error == kNotRegularFileError)
        return "not a regular file";
    return std::strerror(error);
}

bool ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& text, int& error) {
    CFileDescriptor file(OpenRegularFile(path));
    if (file.Get() < 0) {
        error = errno;
        return false;
    }
    std::string content;
    char buffer[kReadChunk];
    for (;;) {
        const ssize_t n = read(file.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = errno;
            return false;
        }
        if (n == 0)
            break;
        if (content.size() + static_cast<std::size_t>(n) > maxBytes) {
            error = EFBIG;
            return false;
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
    text = std::move(content);
    return true;
}
