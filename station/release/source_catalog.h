#pragma once
// The barcode switch's lookup with release bundles: a scanned variant picks
// one file among the recipes (*.toml) and bundles (*.vbundle) of the
// station's folder. Every bundle is checked whole (trust, signature, every
// digest, expiry) before its variant counts; one that fails is named like a
// broken recipe and never runs. While the trust folder holds a key, plain
// recipes take no part. Pure apart from reading files: no threads.

#include <chrono>
#include <string>

#include "station/release/station_source.h"

// Fills `source` with the one recipe or bundle of `variant` in `folder`.
// False with a Chinese message in `error` (the files that could not be read
// named with their reasons); `source` is then unchanged.
bool FindSourceByVariant(const std::string& folder, const std::string& variant,
                         const StationTrust& trust, std::chrono::system_clock::time_point now,
                         StationSource& source, std::string& error);
