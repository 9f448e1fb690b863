#pragma once
// The manifest of a release bundle: what engineering released, for which
// boxes, until when, signed by whom. It is the one member the signature
// covers; every other member is bound to it by its SHA-256.
//
// The JSON form (keys in this order of meaning):
//   format      1
//   variant     the recipe's variant
//   release     the release number, an integer that only grows per variant
//   recipe      the member that is the recipe
//   files       [{name, size, sha256}] every member but manifest.json and
//               manifest.sig, the recipe included
//   families    version-text prefixes of the boxes it is for ("VBX-100 ")
//   expires     YYYY-MM-DD, the last day it may run (UTC), or absent
//   note        free text
//   engineer    who made it (login@host)
//   created     when (UTC, ISO 8601)
//   key_id      the signer's key id
//   public_key  the signer's raw Ed25519 public key, hex
// Reading refuses unknown keys, a key twice, a wrong type or an unsafe
// member name. Pure.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr int kManifestFormat = 1;
inline constexpr char kManifestMember[] = "manifest.json";
inline constexpr char kSignatureMember[] = "manifest.sig";
// A manifest lists a handful of files; one this large is not one.
inline constexpr std::size_t kMaxManifestBytes = 1 << 20;
// Release numbers stay exact in any JSON reader (2^53 - 1).
inline constexpr std::int64_t kMaxReleaseNumber = 9007199254740991;

struct ManifestFile {
    std::string name;
    std::uint64_t size = 0;
    std::string sha256;
};

struct ReleaseManifest {
    int format = kManifestFormat;
    std::string variant;
    std::int64_t release = 0;
    std::string recipe;
    std::vector<ManifestFile> files;
    std::vector<std::string> families;
    std::string expires;
    std::string note;
    std::string engineer;
    std::string created;
    std::string keyId;
    std::string publicKey;
};

// The manifest as JSON text (indented, a final line end). False when a text
// is not UTF-8, with the field named in `error`.
bool ManifestToText(const ReleaseManifest& manifest, std::string& text, std::string& error);

// Reads and checks manifest JSON. False with the reason (naming the key) in
// `error`; `manifest` then unspecified.
bool ManifestFromText(const std::string& text, ReleaseManifest& manifest, std::string& error);

// Why `family` can't be a family prefix, or empty.
std::string FamilyProblem(const std::string& family);

// Reads a release number as a user typed it: decimal digits only, from 1 to
// kMaxReleaseNumber.
bool ParseReleaseNumber(const std::string& text, std::int64_t& number);

// Whether `text` is a calendar date YYYY-MM-DD.
bool IsCalendarDate(const std::string& text);
// The UTC date of `when`, YYYY-MM-DD (compares as text).
std::string UtcDateText(std::chrono::system_clock::time_point when);
