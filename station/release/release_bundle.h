#pragma once
// Release bundles: one signed file holding a recipe, its firmware package and
// its download files, made by engineering and run by a station.
//
// Principles of operation. CreateBundle runs every check of the recipe
// loader, takes the recipe and each file it names (all under the recipe's
// folder, so their names inside the bundle are the ones the recipe uses, below
// "files/"), lists them with their SHA-256 in the manifest, signs the
// manifest's exact bytes with the engineer's Ed25519 key and writes the tar
// whole (or not at all). OpenBundle is the one reader (the command-line
// tool, the station and the fuzz target use it): it unpacks into a private
// temporary folder, which the returned bundle owns and removes, and refuses
// at the first fault, naming the bundle file, the member and the reason:
// anything ExtractTarArchive refuses, a missing manifest or signature, a
// signature that does not hold for the manifest, a signer outside the trusted
// keys (when given), a member missing, extra, or with another size or
// SHA-256 than the manifest says, an expiry date already past (when a clock is
// given), and a recipe that fails its checks or names a file the bundle does
// not hold. On refusal nothing is left on disk. Pure: no threads.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "station/config/recipe.h"
#include "station/release/private_folder.h"
#include "station/release/release_manifest.h"
#include "station/release/trusted_keys.h"

// The folder inside a bundle that holds the recipe and its files.
inline constexpr char kBundlePayloadFolder[] = "files/";

struct BundleRequest {
    std::string recipePath;
    std::string keyPath;
    std::int64_t release = 0;
    std::vector<std::string> families;
    std::string expires;  // YYYY-MM-DD or empty
    std::string note;
    std::string engineer;
    std::string output;
    std::chrono::system_clock::time_point now;
};

// Makes the bundle `request.output` asks for. False with a message naming
// the file and the reason in `error`; the output file is then as it was.
// `manifest` gets what was signed.
bool CreateBundle(const BundleRequest& request, ReleaseManifest& manifest, std::string& error);

struct BundleChecks {
    // When set, the signer must be one of these keys.
    const std::vector<TrustedKey>* trusted = nullptr;
    // When set, a bundle whose expiry date lies before this day (UTC) is
    // refused.
    std::optional<std::chrono::system_clock::time_point> now;
};

class CReleaseBundle {
public:
    const ReleaseManifest& Manifest() const { return m_manifest; }
    // The manifest's bytes, as signed.
    const std::string& ManifestText() const { return m_manifestText; }
    // The SHA-256 of the manifest's bytes: the bundle's identity.
    const std::string& Id() const { return m_id; }
    // The recipe, loaded and checked from the unpacked bundle; its files stay
    // readable as long as this object lives.
    const Recipe& GetRecipe() const { return m_recipe; }
    // The trusted key file that matched the signer; empty without a trust set.
    const std::string& TrustedKeyPath() const { return m_trustedKeyPath; }

private:
    friend class CBundleReader;
    CPrivateFolder m_folder;
    ReleaseManifest m_manifest;
    std::string m_manifestText;
    std::string m_id;
    Recipe m_recipe;
    std::string m_trustedKeyPath;
};

// Reads and checks the bundle at `path`. Null with the refusal in `error`
// ("PATH: MEMBER: reason").
std::unique_ptr<CReleaseBundle> OpenBundle(const std::string& path, const BundleChecks& checks,
                                           std::string& error);
