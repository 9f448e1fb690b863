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

#include "records/record_store.h"
#include "station/config/recipe.h"
#include "station/release/release_bundle.h"
#include "station/engine/release_stamp.h"

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
