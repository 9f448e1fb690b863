#pragma once
// What a station knows of the release bundle its recipe came from: the
// identity every record carries, and the box families it was released for.
// A plain recipe has none. Pure.

#include <cstdint>
#include <string>
#include <vector>

#include "records/unit_record.h"

struct ReleaseStamp {
    std::string bundleId;  // SHA-256 of the bundle's manifest
    std::int64_t number = 0;
    std::string signerKeyId;
    // Version-text prefixes of the boxes it is for ("VBX-100 ").
    std::vector<std::string> families;
    // Run on purpose below a release that already passed for the variant.
    bool rollback = false;
};

// Whether the box's version text begins with one of the families.
bool FitsFamilies(const ReleaseStamp& release, const std::string& version);

// The operator's text for a box of another family.
std::string IncompatibleBoxText(const ReleaseStamp& release, const std::string& version);

// Puts the release's identity into `record`.
void StampRecord(const ReleaseStamp& release, UnitRecord& record);
