#pragma once
// The tar archive of a release bundle, written and read with libarchive.
//
// Principles of operation. A bundle is a plain tar (POSIX pax) that ordinary
// tools list and unpack. Reading trusts nothing in it: only regular files
// are taken (no links, folders, devices or FIFOs), each name must be a plain
// relative path (no "..", "." or empty parts, no leading "/", no control
// characters), no name may come twice, and each member and the whole are
// bounded in size and number; the bytes actually read count, not the sizes
// the headers claim. Members are written with O_EXCL|O_NOFOLLOW into a
// folder the caller owns and nowhere else. Pure: no threads, no globals.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A firmware package or a download file is far smaller; a member this large
// is refused before it fills the disk.
inline constexpr std::uint64_t kMaxBundleMemberBytes = 64ull << 20;
// All members together.
inline constexpr std::uint64_t kMaxBundleBytes = 256ull << 20;
// A recipe names a package and a handful of downloads.
inline constexpr std::size_t kMaxBundleMembers = 256;
inline constexpr std::size_t kMaxMemberNameBytes = 255;

// Why `name` is not a safe member name ("has a '..' part", ...), or empty.
std::string MemberNameProblem(std::string_view name);

struct ArchiveMember {
    std::string name;
    std::string bytes;
};

// A tar of `members`, in their order, each a regular file (mode 0644,
// modified at `mtime`, seconds since 1970) into `archive`. False with a
// message in `error`.
bool WriteTarArchive(const std::vector<ArchiveMember>& members, std::int64_t mtime,
                     std::string& archive, std::string& error);

// Unpacks the tar archive read from `fd` into `folder` (which must exist and
// be the caller's own), putting each member's name into `names` in archive
// order. False with "SOURCE: MEMBER: reason" (or "SOURCE: reason") in
// `error` at the first refusal; what was unpacked so far stays in `folder`
// for its owner to remove.
bool ExtractTarArchive(int fd, const std::string& source, const std::string& folder,
                       std::vector<std::string>& names, std::string& error);
