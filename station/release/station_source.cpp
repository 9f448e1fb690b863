#include "station/release/station_source.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "base/regular_file.h"

namespace {

namespace fs = std::filesystem;

// A tar header is 512 bytes with "ustar" at 257 (POSIX and GNU alike).
constexpr std::size_t kTarHeaderBytes = 512;
constexpr std::size_t kTarMagicOffset = 257;
constexpr char kTarMagic[] = "ustar";

bool HoldsTarHeader(const std::string& path) {
    const int fd = OpenRegularFile(path);
    if (fd < 0)
        return false;
    const CFileDescriptor owned(fd);
    char header[kTarHeaderBytes];
    std::size_t have = 0;
    while (have < sizeof header) {
        const ssize_t n = read(fd, header + have, sizeof header - have);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        have += static_cast<std::size_t>(n);
    }
    return have == sizeof header &&
           std::string_view(header + kTarMagicOffset, sizeof kTarMagic - 1) == kTarMagic;
}

}  // namespace

bool LoadStationTrust(const StationTrust& trust, std::vector<TrustedKey>& keys,
                      std::string& error) {
    std::error_code ec;
    if (!trust.folderGiven && !fs::exists(trust.folder, ec))
        return true;
    return LoadTrustedKeys(trust.folder, keys, error);
}

std::string PlainRecipeRefusal(const std::string& file, const StationTrust& trust) {
    return file + ": a plain recipe; while " + trust.folder +
           " holds trusted keys, only release bundles signed by one of them run";
}

bool OpenBundleSource(const std::string& file, const std::vector<TrustedKey>& keys,
                      std::chrono::system_clock::time_point now, StationSource& source,
                      std::string& error) {
    BundleChecks checks;
    checks.now = now;
    if (!keys.empty())
        checks.trusted = &keys;
    source.bundle = OpenBundle(file, checks, error);
    if (!source.bundle)
        return false;
    const ReleaseManifest& manifest = source.bundle->Manifest();
    source.recipe = source.bundle->GetRecipe();
    source.release = ReleaseStamp{source.bundle->Id(), manifest.release, manifest.keyId,
                                  manifest.families, false};
    return true;
}

bool IsBundleFile(const std::string& path) {
    return path.ends_with(kBundleExtension) || HoldsTarHeader(path);
}

bool OpenStationSource(const std::string& file, const StationTrust& trust,
                       std::chrono::system_clock::time_point now, StationSource& source,
                       std::string& error) {
    std::vector<TrustedKey> keys;
    if (!LoadStationTrust(trust, keys, error))
        return false;
    if (IsBundleFile(file))
        return OpenBundleSource(file, keys, now, source, error);
    if (!keys.empty()) {
        error = PlainRecipeRefusal(file, trust);
        return false;
    }
    source.release.reset();
    source.bundle.reset();
    return LoadRecipe(file, source.recipe, error);
}

bool CheckRollback(IRecordStore& store, bool allowRollback, StationSource& source,
                   std::string& error) {
    if (!source.release)
        return true;
    RecordFilter newer;
    newer.variant = source.recipe.variant;
    newer.result = UnitResult::Pass;
    newer.releaseAbove = source.release->number;
    newer.limit = 1;
    std::vector<UnitRecord> passed;
    std::string readError;
    // A store that can't be read can't tell a rollback either: refused.
    if (!store.List(newer, passed, readError)) {
        error = "cannot check release " + std::to_string(source.release->number) + " of " +
                source.recipe.variant + " against earlier releases in " + store.Describe() + ": " +
                readError;
        return false;
    }
    if (passed.empty())
        return true;
    if (!allowRollback) {
        error = "release " + std::to_string(source.release->number) + " of " +
                source.recipe.variant + " is older than release " +
                std::to_string(passed.front().releaseNumber) + ", which passed on " +
                passed.front().startTime + " (" + store.Describe() +
                "); --allow-rollback runs it anyway, marked in every record";
        return false;
    }
    source.release->rollback = true;
    return true;
}
