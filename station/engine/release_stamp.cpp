#include "station/engine/release_stamp.h"

#include <algorithm>

#include "res/station_texts.h"

bool FitsFamilies(const ReleaseStamp& release, const std::string& version) {
    return std::any_of(release.families.begin(), release.families.end(),
                       [&](const std::string& family) { return version.starts_with(family); });
}

std::string IncompatibleBoxText(const ReleaseStamp& release, const std::string& version) {
    std::string families;
    for (const std::string& family : release.families) {
        families += (families.empty() ? "\"" : ", \"") + family + "\"";
    }
    return kTextIncompatibleBox + families + kTextBoxVersion + "\"" + version + "\"";
}

void StampRecord(const ReleaseStamp& release, UnitRecord& record) {
    record.bundleId = release.bundleId;
    record.releaseNumber = release.number;
    record.signerKeyId = release.signerKeyId;
    record.rollback = release.rollback;
}
