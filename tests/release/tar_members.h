#pragma once
// Tar archives a test takes apart and puts together with libarchive itself,
// so it can build any archive a bundle reader may meet: links, devices,
// FIFOs, names outside the archive, members twice, sizes the data lacks.

#include <archive_entry.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TarMember {
    std::string name;
    std::string bytes;
    unsigned type = AE_IFREG;
    std::string link;       // a symbolic link's target, or a hard link's
    bool hardLink = false;  // `link` names the member this one is
    // A size the header claims; libarchive pads the data with zeros to it.
    std::optional<std::int64_t> claimedSize;
};

// The regular members of the tar at `path`, in order (throws when unreadable).
std::vector<TarMember> ReadTarMembers(const std::string& path);
// Writes `members` as a pax tar to `path` (throws on failure).
void WriteTarMembers(const std::string& path, const std::vector<TarMember>& members);
