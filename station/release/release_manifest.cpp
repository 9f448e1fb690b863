#include "station/release/release_manifest.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <set>

#include "layouts/settings_json.h"
#include "station/release/bundle_archive.h"
#include "station/release/release_key.h"

namespace {

using nlohmann::json;
using nlohmann::ordered_json;

// A family prefix is a few words of a version text.
constexpr std::size_t kMaxFamilyBytes = 64;
constexpr std::size_t kSha256HexDigits = 64;
constexpr std::size_t kDateLength = 10;

const std::set<std::string> kRequiredKeys = {
    "format", "variant",  "release", "recipe", "files",      "families",
    "note",   "engineer", "created", "key_id", "public_key",
};
const std::set<std::string> kOptionalKeys = {"expires"};
const std::set<std::string> kFileKeys = {"name", "size", "sha256"};

struct ManifestError {
    std::string message;
};

[[noreturn]] void Fail(const std::string& key, const std::string& what) {
    throw ManifestError{key + ": " + what};
}

bool IsLowerHex(const std::string& text, std::size_t digits) {
    return text.size() == digits && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

void CheckKeys(const json& object, const std::set<std::string>& required,
               const std::set<std::string>& optional, const std::string& where) {
    if (!object.is_object())
        Fail(where, "must be an object");
    for (const auto& item : object.items()) {
        if (!required.contains(item.key()) && !optional.contains(item.key()))
            Fail(where.empty() ? item.key() : where + "." + item.key(), "unknown key");
    }
    for (const std::string& key : required) {
        if (!object.contains(key))
            Fail(where.empty() ? key : where + "." + key, "missing");
    }
}

std::string String(const json& value, const std::string& key) {
    if (!value.is_string())
        Fail(key, "must be a string");
    return value.get<std::string>();
}

std::string NonEmpty(const json& value, const std::string& key) {
    std::string text = String(value, key);
    if (text.empty())
        Fail(key, "must not be empty");
    return text;
}

std::uint64_t Unsigned(const json& value, const std::string& key, std::uint64_t low,
                       std::uint64_t high) {
    bool whole = value.is_number_integer();
    if (whole && !value.is_number_unsigned())
        whole = value.get<std::int64_t>() >= 0;
    const std::uint64_t number = whole ? value.get<std::uint64_t>() : 0;
    if (!whole || number < low || number > high)
        Fail(key,
             "must be a whole number from " + std::to_string(low) + " to " + std::to_string(high));
    return number;
}

void ReadFiles(const json& files, ReleaseManifest& manifest) {
    if (!files.is_array() || files.empty())
        Fail("files", "must be a list of at least one file");
    std::set<std::string> names;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string where = "files[" + std::to_string(i + 1) + "]";
        const json& entry = files[i];
        CheckKeys(entry, kFileKeys, {}, where);
        ManifestFile file;
        file.name = NonEmpty(entry["name"], where + ".name");
        if (const std::string problem = MemberNameProblem(file.name); !problem.empty())
            Fail(where + ".name", file.name + " " + problem);
        if (file.name == kManifestMember || file.name == kSignatureMember)
            Fail(where + ".name", file.name + " is the manifest's own name");
        if (!names.insert(file.name).second)
            Fail(where + ".name", file.name + " is listed twice");
        file.size = Unsigned(entry["size"], where + ".size", 0, kMaxBundleMemberBytes);
        file.sha256 = String(entry["sha256"], where + ".sha256");
        if (!IsLowerHex(file.sha256, kSha256HexDigits))
            Fail(where + ".sha256", "must be 64 lower-case hexadecimal digits");
        manifest.files.push_back(file);
    }
}

void Read(const json& root, ReleaseManifest& manifest) {
    CheckKeys(root, kRequiredKeys, kOptionalKeys, "");
    if (!root["format"].is_number_integer() ||
        root["format"].get<std::int64_t>() != kManifestFormat)
        Fail("format",
             "must be " + std::to_string(kManifestFormat) + " (a bundle made by a newer tool?)");
    manifest.format = kManifestFormat;
    manifest.variant = NonEmpty(root["variant"], "variant");
    manifest.release = static_cast<std::int64_t>(
        Unsigned(root["release"], "release", 1, static_cast<std::uint64_t>(kMaxReleaseNumber)));
    ReadFiles(root["files"], manifest);
    manifest.recipe = NonEmpty(root["recipe"], "recipe");
    if (std::none_of(manifest.files.begin(), manifest.files.end(),
                     [&](const ManifestFile& f) { return f.name == manifest.recipe; }))
        Fail("recipe", manifest.recipe + " is not among the files");
    const json& families = root["families"];
    if (!families.is_array() || families.empty())
        Fail("families", "must be a list of at least one version-text prefix");
    for (const json& family : families) {
        std::string text = String(family, "families");
        if (const std::string problem = FamilyProblem(text); !problem.empty())
            Fail("families", problem);
        manifest.families.push_back(std::move(text));
    }
    if (root.contains("expires")) {
        manifest.expires = String(root["expires"], "expires");
        if (!IsCalendarDate(manifest.expires))
            Fail("expires", "must be a date YYYY-MM-DD");
    }
    manifest.note = String(root["note"], "note");
    manifest.engineer = String(root["engineer"], "engineer");
    manifest.created = String(root["created"], "created");
    manifest.keyId = String(root["key_id"], "key_id");
    if (!IsLowerHex(manifest.keyId, kKeyIdHexDigits))
        Fail("key_id", "must be 16 lower-case hexadecimal digits");
    manifest.publicKey = String(root["public_key"], "public_key");
    if (!IsLowerHex(manifest.publicKey, 2 * kEd25519PublicKeyBytes))
        Fail("public_key", "must be 64 lower-case hexadecimal digits");
}

}  // namespace

bool ManifestToText(const ReleaseManifest& manifest, std::string& text, std::string& error) {
    ordered_json files = ordered_json::array();
    for (const ManifestFile& f : manifest.files) {
        files.push_back({{"name", f.name}, {"size", f.size}, {"sha256", f.sha256}});
    }
    ordered_json root;
    root["format"] = manifest.format;
    root["variant"] = manifest.variant;
    root["release"] = manifest.release;
    root["recipe"] = manifest.recipe;
    root["files"] = files;
    root["families"] = manifest.families;
    if (!manifest.expires.empty())
        root["expires"] = manifest.expires;
    root["note"] = manifest.note;
    root["engineer"] = manifest.engineer;
    root["created"] = manifest.created;
    root["key_id"] = manifest.keyId;
    root["public_key"] = manifest.publicKey;
    try {
        text = root.dump(2) + "\n";
    } catch (const json::type_error&) {
        error = "the manifest's texts (variant, note, families, names) must be UTF-8";
        return false;
    }
    return true;
}

bool ManifestFromText(const std::string& text, ReleaseManifest& manifest, std::string& error) {
    json root;
    if (!ParseJsonWithoutDuplicates(text, root, error))
        return false;
    manifest = ReleaseManifest{};
    try {
        Read(root, manifest);
    } catch (const ManifestError& e) {
        error = e.message;
        return false;
    }
    return true;
}

std::string FamilyProblem(const std::string& family) {
    if (family.empty())
        return "a family prefix must not be empty";
    if (family.size() > kMaxFamilyBytes)
        return "a family prefix is at most " + std::to_string(kMaxFamilyBytes) + " bytes";
    if (std::any_of(family.begin(), family.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
        return "a family prefix holds no control character";
    return {};
}

bool ParseReleaseNumber(const std::string& text, std::int64_t& number) {
    if (text.empty() || text.size() > 16 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    number = std::stoll(text);
    return number >= 1 && number <= kMaxReleaseNumber;
}

bool IsCalendarDate(const std::string& text) {
    if (text.size() != kDateLength || text[4] != '-' || text[7] != '-')
        return false;
    for (const std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    const std::chrono::year_month_day date{std::chrono::year(std::stoi(text.substr(0, 4))),
                                           std::chrono::month(std::stoul(text.substr(5, 2))),
                                           std::chrono::day(std::stoul(text.substr(8, 2)))};
    return date.ok();
}

std::string UtcDateText(std::chrono::system_clock::time_point when) {
    const std::chrono::year_month_day date{std::chrono::floor<std::chrono::days>(when)};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text;
}
