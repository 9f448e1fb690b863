#include "base/file_replace.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>

#include "base/regular_file.h"

namespace {
// Permissions of a new file before the umask: the system's default for files.
constexpr mode_t kNewFileMode = 0666;
// The mode bits a replaced file keeps: permissions, set-id and sticky bits.
constexpr mode_t kPermissionBits = 07777;
// Attempts at a free temporary name before giving up.
constexpr int kTempNameAttempts = 100;

std::string Failure(const std::string& path, int error) {
    return path + ": can't write the file: " + FileErrorText(error);
}

// The file a path leads to: symbolic links resolved, so that the rename
// replaces the file and keeps the link. The path itself when it leads nowhere.
std::string TargetPath(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    std::unique_ptr<char, decltype(&free)> resolved(realpath(path.c_str(), nullptr), &free);
    return resolved ? std::string(resolved.get()) : path;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// What a replacement of `path` writes to: the file a link leads to, whether it
// exists and its status. False with `error` when something other than a
// regular file is there.
struct Target {
    std::string path;
    bool exists = false;
    struct stat st {};
};
bool FindTarget(const std::string& path, Target& target, std::string& error) {
    target.path = TargetPath(path);
    target.exists = stat(target.path.c_str(), &target.st) == 0;
    int e = 0;
    if (!target.exists)
        e = errno == ENOENT ? 0 : errno;
    else if (!S_ISREG(target.st.st_mode))
        e = kNotRegularFileError;
    if (e != 0)
        error = Failure(path, e);
    return e == 0;
}

bool WriteAll(int fd, std::string_view content) {
    while (!content.empty()) {
        const ssize_t n = write(fd, content.data(), content.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        content.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Creates a fresh temporary file next to `target`; its descriptor, or -1 with errno.
int CreateTempFile(const std::string& target, std::string& tempPath) {
    static std::atomic<unsigned> counter{0};
    const std::string folder = FolderOf(target);
    const std::size_t slash = target.rfind('/');
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        tempPath = folder + "/." + name + ".tmp" + std::to_string(getpid()) + "." +
                   std::to_string(counter.fetch_add(1));
        const int fd =
            open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

// Flushes the folder's entry for a renamed file; some file systems refuse it
// for folders, which is no failure of the write.
void SyncFolder(const std::string& folder) {
    CFileDescriptor dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0)
        fsync(dir.Get());
}
}  // namespace

bool CanReplaceFile(const std::string& path, std::string& error) {
    Target target;
    if (!FindTarget(path, target, error))
        return false;
    if (access(FolderOf(target.path).c_str(), W_OK | X_OK) != 0) {
        error = Failure(path, errno);
        return false;
    }
    return true;
}

bool ReplaceFileWhole(const std::string& path, std::string_view content, std::string& error) {
    Target target;
    if (!FindTarget(path, target, error))
        return false;
    std::string tempPath;
    const int fd = CreateTempFile(target.path, tempPath);
    if (fd < 0) {
        error = Failure(path, errno);
        return false;
    }
    int e = 0;
    {
        CFileDescriptor temp(fd);
        if (target.exists && fchmod(fd, target.st.st_mode & kPermissionBits) != 0)
            e = errno;
        else if (!WriteAll(fd, content) || fsync(fd) != 0)
            e = errno;
    }
    if (e == 0 && rename(tempPath.c_str(), target.path.c_str()) != 0)
        e = errno;
    if (e != 0) {
        unlink(tempPath.c_str());
        error = Failure(path, e);
        return false;
    }
    SyncFolder(FolderOf(target.path));
    return true;
}
