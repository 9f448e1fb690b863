#pragma once
// Opening a file the operator named, for reading, without ever blocking on it.
//
// A FIFO, a character device or a socket named as a package, a download file
// or a settings file would make a plain open() or read() wait for a writer
// that never comes. The file is opened with O_NONBLOCK (so the open itself
// never waits), checked with fstat, refused unless it is a regular file, and
// only then put back into blocking mode for reading. Any thread may call these.

#include <cstddef>
#include <string>

// A descriptor that closes itself.
class CFileDescriptor {
public:
    explicit CFileDescriptor(int fd = -1) : m_fd(fd) {}
    ~CFileDescriptor();
    CFileDescriptor(const CFileDescriptor&) = delete;
    CFileDescriptor& operator=(const CFileDescriptor&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

// A read-only descriptor (close-on-exec, blocking) of the regular file at
// `path`, or -1 with errno set: the open's own error, or EINVAL for anything
// but a regular file (a folder, a FIFO, a device). Symbolic links are followed.
int OpenRegularFile(const std::string& path);

// The errno value OpenRegularFile gives a path that is not a regular file.
inline constexpr int kNotRegularFileError = 22;  // EINVAL

// Text for a failure of OpenRegularFile or a read: "not a regular file" for
// kNotRegularFileError, else the system's text of `error`.
std::string FileErrorText(int error);

// Reads the regular file at `path` whole into `text`. False with `error` (the
// errno value; EFBIG when it holds more than `maxBytes`) on failure, `text`
// then untouched.
bool ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& text, int& error);
