#include "station/release/release_bundle.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <set>

#include "base/bytes_text.h"
#include "base/file_replace.h"
#include "base/regular_file.h"
#include "records/record_time.h"
#include "station/config/digest.h"
#include "station/release/bundle_archive.h"
#include "station/release/release_key.h"

namespace fs = std::filesystem;

namespace {

// Lower-case hex (already checked by the manifest reader) to bytes.
std::vector<std::uint8_t> HexBytes(const std::string& hex) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

// The files a recipe brings, by absolute path: the recipe, its package, its
// downloads (each once).
std::vector<std::string> RecipeFiles(const Recipe& recipe) {
    std::vector<std::string> files = {recipe.path};
    if (recipe.firmware)
        files.push_back(recipe.firmware->package);
    for (const RecipeDownload& d : recipe.downloads) {
        files.push_back(d.file);
    }
    for (std::string& f : files) {
        f = fs::absolute(f).lexically_normal().string();
    }
    std::vector<std::string> once;
    for (const std::string& f : files) {
        if (std::find(once.begin(), once.end(), f) == once.end())
            once.push_back(f);
    }
    return once;
}

// The member names of `files` below the payload folder, as paths relative to
// the recipe's folder; false when one lies outside it.
bool PayloadMembers(const std::string& recipePath, const std::vector<std::string>& files,
                    std::vector<std::string>& names, std::string& error) {
    const fs::path base = fs::absolute(recipePath).lexically_normal().parent_path();
    for (const std::string& file : files) {
        const std::string relative = fs::path(file).lexically_relative(base).generic_string();
        if (!MemberNameProblem(relative).empty()) {
            error = recipePath + ": names " + file +
                    ", outside the recipe's folder; a bundle holds only files below it";
            return false;
        }
        names.push_back(kBundlePayloadFolder + relative);
    }
    return true;
}

std::string ReadMember(const std::string& path, std::uint64_t limit, std::string& error) {
    std::string bytes;
    int readError = 0;
    if (!ReadRegularFile(path, limit, bytes, readError))
        error = path + ": cannot read: " + FileErrorText(readError);
    return bytes;
}

}  // namespace

bool CreateBundle(const BundleRequest& request, ReleaseManifest& manifest, std::string& error) {
    Recipe recipe;
    if (!LoadRecipe(request.recipePath, recipe, error))
        return false;
    EvpKeyPtr key = LoadPrivateKey(request.keyPath, error);
    if (!key)
        return false;

    const std::vector<std::string> files = RecipeFiles(recipe);
    std::vector<std::string> names;
    if (!PayloadMembers(request.recipePath, files, names, error))
        return false;

    manifest = ReleaseManifest{};
    manifest.variant = recipe.variant;
    manifest.release = request.release;
    manifest.recipe = names.front();
    manifest.families = request.families;
    manifest.expires = request.expires;
    manifest.note = request.note;
    manifest.engineer = request.engineer;
    manifest.created = RecordTimeText(request.now);
    manifest.keyId = KeyIdOf(key.get());
    const std::vector<std::uint8_t> publicKey = RawPublicKey(key.get());
    manifest.publicKey = BytesToLowerHex(publicKey.data(), publicKey.size());

    std::vector<ArchiveMember> members(2);
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::string readError;
        std::string bytes = ReadMember(files[i], kMaxBundleMemberBytes, readError);
        if (!readError.empty()) {
            error = readError + " (a bundle member is at most " +
                    std::to_string(kMaxBundleMemberBytes >> 20) + " MiB)";
            return false;
        }
        manifest.files.push_back({names[i], bytes.size(), Sha256Hex(bytes)});
        members.push_back({names[i], std::move(bytes)});
    }
    // The recipe loader hashed the files as it read them; a file changed since
    // would go out under a digest nobody checked.
    const std::map<std::string, std::string> loaded = [&] {
        std::map<std::string, std::string> digests = {{files.front(), recipe.sha256}};
        if (recipe.firmware)
            digests[fs::absolute(recipe.firmware->package).lexically_normal()] =
                recipe.firmware->sha256;
        for (const RecipeDownload& d : recipe.downloads) {
            digests[fs::absolute(d.file).lexically_normal()] = d.sha256;
        }
        return digests;
    }();
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (loaded.at(files[i]) != manifest.files[i].sha256) {
            error = files[i] + ": changed while the bundle was made; try again";
            return false;
        }
    }

    std::string manifestText;
    if (!ManifestToText(manifest, manifestText, error))
        return false;
    const std::vector<std::uint8_t> signature = SignBytes(key.get(), manifestText);
    if (signature.empty()) {
        error = request.keyPath + ": cannot sign with this key";
        return false;
    }
    members[0] = {kManifestMember, manifestText};
    members[1] = {kSignatureMember, std::string(signature.begin(), signature.end())};

    std::string archive;
    const auto mtime =
        std::chrono::duration_cast<std::chrono::seconds>(request.now.time_since_epoch()).count();
    if (!WriteTarArchive(members, mtime, archive, error))
        return false;
    return ReplaceFileWhole(request.output, archive, error);
}

class CBundleReader {
public:
    CBundleReader(const std::string& path, const BundleChecks& checks, CReleaseBundle& bundle)
        : m_path(path), m_checks(checks), m_bundle(bundle) {}

    bool Read(std::string& error) {
        const int fd = OpenRegularFile(m_path);
        if (fd < 0) {
            error = m_path + ": cannot read: " + FileErrorText(errno);
            return false;
        }
        const CFileDescriptor owned(fd);
        if (!m_bundle.m_folder.Create("vornak-bundle", error))
            return false;
        m_folder = m_bundle.m_folder.Path();
        std::vector<std::string> names;
        if (!ExtractTarArchive(fd, m_path, m_folder, names, error))
            return false;
        m_names.insert(names.begin(), names.end());
        return ReadManifest(error) && CheckSigner(error) && CheckMembers(error) &&
               CheckExpiry(error) && LoadPayloadRecipe(error);
    }

private:
    bool Refuse(const std::string& member, const std::string& why, std::string& error) const {
        error = m_path + ": " + (member.empty() ? "" : member + ": ") + why;
        return false;
    }

    std::string InFolder(const std::string& name) const { return m_folder + "/" + name; }

    bool ReadManifest(std::string& error) {
        for (const char* name : {kManifestMember, kSignatureMember}) {
            if (!m_names.contains(name))
                return Refuse(name, "missing (not a release bundle?)", error);
        }
        std::string readError;
        m_bundle.m_manifestText =
            ReadMember(InFolder(kManifestMember), kMaxManifestBytes, readError);
        if (!readError.empty())
            return Refuse(kManifestMember, "larger than 1 MiB or unreadable", error);
        m_signature = ReadMember(InFolder(kSignatureMember), kEd25519SignatureBytes, readError);
        if (!readError.empty() || m_signature.size() != kEd25519SignatureBytes)
            return Refuse(kSignatureMember, "not a signature (64 bytes)", error);
        std::string why;
        if (!ManifestFromText(m_bundle.m_manifestText, m_bundle.m_manifest, why))
            return Refuse(kManifestMember, why, error);
        m_bundle.m_id = Sha256Hex(m_bundle.m_manifestText);
        return true;
    }

    bool CheckSigner(std::string& error) {
        const ReleaseManifest& manifest = m_bundle.m_manifest;
        const std::vector<std::uint8_t> raw = HexBytes(manifest.publicKey);
        if (KeyIdOfRawKey(raw) != manifest.keyId)
            return Refuse(kManifestMember, "key_id is not the id of public_key", error);
        const EvpKeyPtr key = PublicKeyFromRaw(raw);
        if (!key || !VerifyBytes(key.get(), m_bundle.m_manifestText, m_signature))
            return Refuse(kSignatureMember,
                          "the signature does not hold for manifest.json (changed after signing, "
                          "or signed by another key)",
                          error);
        if (m_checks.trusted == nullptr)
            return true;
        const TrustedKey* trusted = FindTrustedKey(*m_checks.trusted, manifest.keyId);
        if (trusted == nullptr || RawPublicKey(trusted->key.get()) != raw ||
            !VerifyBytes(trusted->key.get(), m_bundle.m_manifestText, m_signature))
            return Refuse(kSignatureMember,
                          "signed by key " + manifest.keyId + ", which is not a trusted key (" +
                              std::to_string(m_checks.trusted->size()) + " trusted)",
                          error);
        m_bundle.m_trustedKeyPath = trusted->path;
        return true;
    }

    bool CheckMembers(std::string& error) const {
        std::set<std::string> listed = {kManifestMember, kSignatureMember};
        for (const ManifestFile& file : m_bundle.m_manifest.files) {
            listed.insert(file.name);
            if (!m_names.contains(file.name))
                return Refuse(file.name, "missing (the manifest lists it)", error);
            std::string readError;
            const std::string bytes =
                ReadMember(InFolder(file.name), kMaxBundleMemberBytes, readError);
            if (!readError.empty())
                return Refuse(file.name, "unreadable after unpacking", error);
            if (bytes.size() != file.size || Sha256Hex(bytes) != file.sha256)
                return Refuse(file.name,
                              "its SHA-256 differs from the manifest's (changed after signing)",
                              error);
        }
        for (const std::string& name : m_names) {
            if (!listed.contains(name))
                return Refuse(name, "not in the manifest (added after signing)", error);
        }
        return true;
    }

    bool CheckExpiry(std::string& error) const {
        const std::string& expires = m_bundle.m_manifest.expires;
        if (!m_checks.now || expires.empty())
            return true;
        const std::string today = UtcDateText(*m_checks.now);
        if (today <= expires)
            return true;
        return Refuse("", "expired on " + expires + " (today is " + today + ", UTC)", error);
    }

    bool LoadPayloadRecipe(std::string& error) {
        const ReleaseManifest& manifest = m_bundle.m_manifest;
        Recipe& recipe = m_bundle.m_recipe;
        std::string why;
        if (!LoadRecipe(InFolder(manifest.recipe), recipe, why)) {
            // The unpacked folder is gone once this returns: name the member.
            const std::string prefix = m_folder + "/";
            for (std::size_t at = why.find(prefix); at != std::string::npos;
                 at = why.find(prefix, at)) {
                why.erase(at, prefix.size());
            }
            return Refuse("", why, error);
        }
        if (recipe.variant != manifest.variant)
            return Refuse(
                manifest.recipe,
                "variant '" + recipe.variant + "' is not the manifest's '" + manifest.variant + "'",
                error);
        std::vector<std::string> named;
        if (recipe.firmware)
            named.push_back(recipe.firmware->package);
        for (const RecipeDownload& d : recipe.downloads) {
            named.push_back(d.file);
        }
        std::set<std::string> listed;
        for (const ManifestFile& file : manifest.files) {
            listed.insert(file.name);
        }
        for (const std::string& file : named) {
            const std::string member = fs::path(file).lexically_relative(m_folder).generic_string();
            if (!listed.contains(member) || member == manifest.recipe)
                return Refuse(manifest.recipe, "names " + file + ", which the bundle does not hold",
                              error);
        }
        return true;
    }

    const std::string& m_path;
    const BundleChecks& m_checks;
    CReleaseBundle& m_bundle;
    std::string m_folder;
    std::set<std::string> m_names;
    std::string m_signature;
};

std::unique_ptr<CReleaseBundle> OpenBundle(const std::string& path, const BundleChecks& checks,
                                           std::string& error) {
    auto bundle = std::make_unique<CReleaseBundle>();
    if (!CBundleReader(path, checks, *bundle).Read(error))
        return nullptr;
    return bundle;
}
