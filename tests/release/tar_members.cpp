#include "tests/release/tar_members.h"

#include <archive.h>
#include <sys/sysmacros.h>

#include <stdexcept>

std::vector<TarMember> ReadTarMembers(const std::string& path) {
    archive* a = archive_read_new();
    archive_read_support_format_tar(a);
    if (archive_read_open_filename(a, path.c_str(), 10240) != ARCHIVE_OK)
        throw std::runtime_error("cannot open " + path);
    std::vector<TarMember> members;
    archive_entry* entry = nullptr;
    while (archive_read_next_header(a, &entry) == ARCHIVE_OK) {
        TarMember m;
        m.name = archive_entry_pathname(entry);
        m.bytes.resize(static_cast<std::size_t>(archive_entry_size(entry)));
        if (archive_read_data(a, m.bytes.data(), m.bytes.size()) !=
            static_cast<la_ssize_t>(m.bytes.size()))
            throw std::runtime_error("cannot read " + m.name + " of " + path);
        members.push_back(std::move(m));
    }
    archive_read_free(a);
    return members;
}

void WriteTarMembers(const std::string& path, const std::vector<TarMember>& members) {
    archive* a = archive_write_new();
    archive_write_set_format_pax_restricted(a);
    if (archive_write_open_filename(a, path.c_str()) != ARCHIVE_OK)
        throw std::runtime_error("cannot write " + path);
    for (const TarMember& m : members) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, m.name.c_str());
        archive_entry_set_filetype(entry, m.type);
        archive_entry_set_perm(entry, 0644);
        if (m.type == AE_IFLNK)
            archive_entry_set_symlink(entry, m.link.c_str());
        if (m.hardLink)
            archive_entry_set_hardlink(entry, m.link.c_str());
        if (m.type == AE_IFCHR)
            archive_entry_set_rdev(entry, makedev(1, 3));
        const bool hasData = m.type == AE_IFREG && !m.hardLink;
        archive_entry_set_size(
            entry, hasData ? m.claimedSize.value_or(static_cast<std::int64_t>(m.bytes.size())) : 0);
        if (archive_write_header(a, entry) != ARCHIVE_OK)
            throw std::runtime_error("cannot write the header of " + m.name);
        if (hasData && !m.bytes.empty())
            archive_write_data(a, m.bytes.data(), m.bytes.size());
        archive_entry_free(entry);
    }
    archive_write_close(a);
    archive_write_free(a);
}
