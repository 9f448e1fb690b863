#include "station/release/bundle_archive.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>

#include "base/regular_file.h"

namespace {

namespace fs = std::filesystem;

// libarchive's read block for a descriptor, and the copy buffer.
constexpr std::size_t kReadBlockBytes = 64 * 1024;
constexpr mode_t kMemberMode = 0644;
// Tar tools pad the end to their record size (10 KiB by default, larger with
// a blocking factor); more zeros than this are not padding.
constexpr std::size_t kMaxArchivePaddingBytes = 1 << 20;

struct ArchiveReadFree {
    void operator()(archive* a) const { archive_read_free(a); }
};
struct ArchiveWriteFree {
    void operator()(archive* a) const { archive_write_free(a); }
};
struct EntryFree {
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};

std::string ArchiveErrorText(archive* a) {
    const char* text = archive_error_string(a);
    return text != nullptr ? text : "unreadable archive";
}

la_ssize_t AppendToString(archive*, void* target, const void* buffer, size_t length) {
    static_cast<std::string*>(target)->append(static_cast<const char*>(buffer), length);
    return static_cast<la_ssize_t>(length);
}

// What a member that is not a regular file is, for the refusal.
std::string KindText(archive_entry* entry) {
    if (archive_entry_hardlink(entry) != nullptr)
        return "is a hard link";
    switch (archive_entry_filetype(entry)) {
        case AE_IFLNK:
            return "is a symbolic link";
        case AE_IFDIR:
            return "is a folder";
        case AE_IFCHR:
        case AE_IFBLK:
            return "is a device";
        case AE_IFIFO:
            return "is a FIFO";
        case AE_IFSOCK:
            return "is a socket";
        case AE_IFREG:
            return {};
        default:
            return "is not a regular file";
    }
}

std::string MiB(std::uint64_t bytes) {
    return std::to_string(bytes >> 20) + " MiB";
}

class CExtractor {
public:
    CExtractor(const std::string& source, const std::string& folder,
               std::vector<std::string>& names)
        : m_source(source), m_folder(folder), m_names(names) {}

    bool Run(int fd, std::string& error) {
        std::unique_ptr<archive, ArchiveReadFree> a(archive_read_new());
        if (!a || archive_read_support_format_tar(a.get()) != ARCHIVE_OK ||
            archive_read_open_fd(a.get(), fd, kReadBlockBytes) != ARCHIVE_OK) {
            error = m_source + ": not a tar archive: " + ArchiveErrorText(a.get());
            return false;
        }
        for (;;) {
            archive_entry* entry = nullptr;
            const int r = archive_read_next_header(a.get(), &entry);
            if (r == ARCHIVE_EOF)
                return NothingAfterTheEnd(fd, archive_filter_bytes(a.get(), 0), error);
            if (r != ARCHIVE_OK) {
                error = m_source + ": damaged or truncated archive: " + ArchiveErrorText(a.get());
                return false;
            }
            if (!Member(a.get(), entry, error))
                return false;
        }
    }

private:
    // Tar pads its end with zero blocks; anything else after the end-of-archive
    // marker (a second archive appended, stray bytes) is nothing a bundle's
    // maker wrote and nothing the signature covers, so it is refused rather
    // than ignored as tar readers do.
    bool NothingAfterTheEnd(int fd, la_int64_t end, std::string& error) const {
        struct stat st {};
        if (end < 0 || fstat(fd, &st) != 0) {
            error = m_source + ": cannot tell where the archive ends";
            return false;
        }
        if (st.st_size - end > static_cast<off_t>(kMaxArchivePaddingBytes)) {
            error = m_source + ": " + std::to_string(st.st_size - end) +
                    " bytes after the archive's end (a bundle ends with its archive)";
            return false;
        }
        char buffer[kReadBlockBytes];
        for (off_t at = end; at < st.st_size;) {
            const ssize_t n = pread(fd, buffer, sizeof buffer, at);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                error = m_source + ": cannot read after the archive's end: " +
                        (n < 0 ? std::strerror(errno) : "shorter than its size");
                return false;
            }
            for (ssize_t i = 0; i < n; ++i) {
                if (buffer[i] != 0) {
                    error = m_source + ": data after the archive's end (at byte " +
                            std::to_string(at + i) + "; a bundle ends with its archive)";
                    return false;
                }
            }
            at += n;
        }
        return true;
    }

    bool Refuse(const std::string& member, const std::string& why, std::string& error) const {
        error = m_source + ": " + member + ": " + why;
        return false;
    }

    bool Member(archive* a, archive_entry* entry, std::string& error) {
        const char* pathname = archive_entry_pathname(entry);
        if (pathname == nullptr)
            return Refuse("a member", "has no readable name", error);
        const std::string name = pathname;
        if (const std::string kind = KindText(entry); !kind.empty())
            return Refuse(name, kind + "; a bundle holds regular files only", error);
        if (const std::string problem = MemberNameProblem(name); !problem.empty())
            return Refuse(name, problem, error);
        if (!m_seen.insert(name).second)
            return Refuse(name, "is in the archive twice", error);
        if (m_seen.size() > kMaxBundleMembers)
            return Refuse(name,
                          "one member too many (at most " + std::to_string(kMaxBundleMembers) + ")",
                          error);
        if (archive_entry_size_is_set(entry) != 0 &&
            static_cast<std::uint64_t>(archive_entry_size(entry)) > kMaxBundleMemberBytes)
            return Refuse(name, "is larger than " + MiB(kMaxBundleMemberBytes), error);
        m_names.push_back(name);
        return Copy(a, name, error);
    }

    bool Copy(archive* a, const std::string& name, std::string& error) {
        const fs::path target = fs::path(m_folder) / name;
        std::error_code ec;
        fs::create_directories(target.parent_path(), ec);
        const int out =
            ec ? -1
               : open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (out < 0)
            return Refuse(
                name,
                "cannot be unpacked: " + (ec ? ec.message() : std::string(std::strerror(errno))),
                error);
        const CFileDescriptor owned(out);
        std::uint64_t memberBytes = 0;
        char buffer[kReadBlockBytes];
        for (;;) {
            const la_ssize_t n = archive_read_data(a, buffer, sizeof buffer);
            if (n == 0)
                return true;
            if (n < 0)
                return Refuse(name, "damaged or truncated: " + ArchiveErrorText(a), error);
            memberBytes += static_cast<std::uint64_t>(n);
            m_totalBytes += static_cast<std::uint64_t>(n);
            if (memberBytes > kMaxBundleMemberBytes)
                return Refuse(name, "is larger than " + MiB(kMaxBundleMemberBytes), error);
            if (m_totalBytes > kMaxBundleBytes)
                return Refuse(name, "the members pass " + MiB(kMaxBundleBytes) + " together",
                              error);
            for (la_ssize_t done = 0; done < n;) {
                const ssize_t w = write(out, buffer + done, static_cast<std::size_t>(n - done));
                if (w < 0 && errno == EINTR)
                    continue;
                if (w <= 0)
                    return Refuse(name, std::string("cannot be unpacked: ") + std::strerror(errno),
                                  error);
                done += w;
            }
        }
    }

    const std::string& m_source;
    const std::string& m_folder;
    std::vector<std::string>& m_names;
    std::set<std::string> m_seen;
    std::uint64_t m_totalBytes = 0;
};

}  // namespace

std::string MemberNameProblem(std::string_view name) {
    if (name.empty())
        return "has an empty name";
    if (name.size() > kMaxMemberNameBytes)
        return "has a name longer than " + std::to_string(kMaxMemberNameBytes) + " bytes";
    if (name.front() == '/')
        return "has an absolute path";
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return "has a control character in its name";
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = name.find('/', start);
        const std::string_view part = name.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (part == "..")
            return "has a '..' part (a path outside the bundle)";
        if (part.empty() || part == ".")
            return "is not a plain path (an empty or '.' part)";
        if (end == std::string_view::npos)
            return {};
        start = end + 1;
    }
}

bool WriteTarArchive(const std::vector<ArchiveMember>& members, std::int64_t mtime,
                     std::string& archiveBytes, std::string& error) {
    std::unique_ptr<archive, ArchiveWriteFree> a(archive_write_new());
    std::string out;
    if (!a || archive_write_set_format_pax_restricted(a.get()) != ARCHIVE_OK ||
        archive_write_open2(a.get(), &out, nullptr, AppendToString, nullptr, nullptr) !=
            ARCHIVE_OK) {
        error = "cannot write the archive: " + ArchiveErrorText(a.get());
        return false;
    }
    for (const ArchiveMember& member : members) {
        std::unique_ptr<archive_entry, EntryFree> entry(archive_entry_new());
        archive_entry_set_pathname(entry.get(), member.name.c_str());
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), kMemberMode);
        archive_entry_set_size(entry.get(), static_cast<la_int64_t>(member.bytes.size()));
        archive_entry_set_mtime(entry.get(), static_cast<time_t>(mtime), 0);
        if (archive_write_header(a.get(), entry.get()) != ARCHIVE_OK ||
            archive_write_data(a.get(), member.bytes.data(), member.bytes.size()) !=
                static_cast<la_ssize_t>(member.bytes.size())) {
            error = member.name + ": cannot be archived: " + ArchiveErrorText(a.get());
            return false;
        }
    }
    if (archive_write_close(a.get()) != ARCHIVE_OK) {
        error = "cannot write the archive: " + ArchiveErrorText(a.get());
        return false;
    }
    archiveBytes = std::move(out);
    return true;
}

bool ExtractTarArchive(int fd, const std::string& source, const std::string& folder,
                       std::vector<std::string>& names, std::string& error) {
    return CExtractor(source, folder, names).Run(fd, error);
}
