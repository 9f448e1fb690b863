#pragma once
// What a station runs, from the one FILE it is given: a plain recipe or a
// release bundle (the command-line station and the station window both open
// theirs here).
//
// A FILE is a bundle when it ends in ".vbundle" or holds a tar header. The
// trusted keys are the `*.pub` files of the trust folder (by default
// /etc/vornak/trusted-keys, which may be missing; a folder named with
// --trust must be readable). While it holds a key, plain recipes are refused
// and a bundle must be signed by one of its keys; without any, a bundle's
// signature is checked against its own key. A bundle is checked whole
// (signature, every digest, expiry against `now`, its recipe) before any box
// is touched. Pure: no threads.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "records/record_store.h"
#include "station/config/recipe.h"
#include "station/engine/release_stamp.h"
#include "station/release/release_bundle.h"

inline constexpr char kBundleExtension[] = ".vbundle";

struct StationTrust {
    std::string folder = kDefaultTrustFolder;
    bool folderGiven = false;  // named by the operator: it must be readable
};

struct StationSource {
    Recipe recipe;
    // For a bundle: its identity and families (rollback set by CheckRollback).
    std::optional<ReleaseStamp> release;
    // For a bundle: keeps the unpacked files the recipe names until the
    // station ends.
    std::unique_ptr<CReleaseBundle> bundle;
};

// The keys of the trust folder (none from a default folder that is missing).
// False with `error` when a folder named by the operator can't be read or a
// key file is no key.
bool LoadStationTrust(const StationTrust& trust, std::vector<TrustedKey>& keys, std::string& error);

// Why a plain recipe `file` does not run while the trust folder holds keys.
std::string PlainRecipeRefusal(const std::string& file, const StationTrust& trust);

// Opens and checks the bundle `file` whole into `source`: signed by one of
// `keys` (none: by its own key), not expired on `now`. False with the
// refusal in `error`.
bool OpenBundleSource(const std::string& file, const std::vector<TrustedKey>& keys,
                      std::chrono::system_clock::time_point now, StationSource& source,
                      std::string& error);

// Where a station looks a scanned variant up (its first file's folder) and
// how it opens what it finds there.
struct SourceLookup {
    std::string folder;
    StationTrust trust;
    bool allowRollback = false;
};

// Whether the file at `path` is to be read as a bundle.
bool IsBundleFile(const std::string& path);

// Reads FILE as a recipe or a bundle. False with a message naming the file
// and the reason in `error`; `source` then unspecified.
bool OpenStationSource(const std::string& file, const StationTrust& trust,
                       std::chrono::system_clock::time_point now, StationSource& source,
                       std::string& error);

// Refuses a release older than one that already passed for the variant in
// `store`, unless `allowRollback`; an allowed rollback is marked in
// `source.release` (so in every record). A plain recipe passes. False with
// the reason in `error`.
bool CheckRollback(IRecordStore& store, bool allowRollback, StationSource& source,
                   std::string& error);
