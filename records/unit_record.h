#pragma once
// UnitRecord: what the station remembers of one run of one box through a
// recipe. A record is written once, when the unit ends, and never updated; the
// station commits it before it shows the unit's result.
//
// Times are UTC in ISO 8601 ("2026-12-10T13:45:12.345Z"). Digests are SHA-256
// in lower-case hex. Settings are the settings file's JSON form, as text.

#include <cstdint>
#include <string>
#include <vector>

enum class UnitResult { Pass, Fail, Aborted };

// Stable reason codes, stored and printed as text; a MES or a report may key
// on them, so existing codes never change meaning.
inline constexpr const char* kReasonNone = "";
inline constexpr const char* kReasonNoBox = "NO_BOX";
inline constexpr const char* kReasonNoReply = "NO_REPLY";
inline constexpr const char* kReasonBoxRefused = "BOX_REFUSED";
inline constexpr const char* kReasonVersionMismatch = "VERSION_MISMATCH";
inline constexpr const char* kReasonVerifyMismatch = "VERIFY_MISMATCH";
inline constexpr const char* kReasonPackageMismatch = "PACKAGE_MISMATCH";
inline constexpr const char* kReasonPortError = "PORT_ERROR";
inline constexpr const char* kReasonFileError = "FILE_ERROR";
inline constexpr const char* kReasonAlreadyPassed = "ALREADY_PASSED";
inline constexpr const char* kReasonDuplicateSerial = "DUPLICATE_SERIAL";
inline constexpr const char* kReasonAborted = "ABORTED";
// The box's version text starts with none of the release bundle's families:
// the bundle was not released for this box, so nothing is sent to it.
inline constexpr const char* kReasonIncompatibleBox = "INCOMPATIBLE_BOX";
// The store did not take the unit's record; the unit shows as failed at
// step "record".
inline constexpr const char* kReasonRecordError = "RECORD_ERROR";

// The steps' codes, as events and records name them.
inline constexpr char kStepIdentify[] = "identify";
inline constexpr char kStepInterlock[] = "interlock";
inline constexpr char kStepFirmware[] = "firmware";
inline constexpr char kStepSettings[] = "settings";
inline constexpr char kStepDownload[] = "download";
inline constexpr char kStepJump[] = "jump";
// Storing the record, the step a RECORD_ERROR names.
inline constexpr char kStepRecord[] = "record";

// One step of the unit run, as it went.
struct StepRecord {
    std::string name;  // "identify", "firmware", "settings", "download", ...
    bool ok = false;
    std::uint32_t durationMs = 0;
    std::vector<std::string> statusTexts;  // what the status line showed, in order
    // Downloads and the jump: every result word the box gave, in order, as
    // hex words with runs written once ("EE00*3 0001"); empty otherwise.
    std::string resultWords = {};
    // Settings: the three configuration blocks as written and as read back,
    // hex, blocks apart by a blank; bytes no option maps are kept here
    // alone. Empty when the step wrote or read none.
    std::string blocksWritten = {};
    std::string blocksRead = {};

    bool operator==(const StepRecord&) const = default;
};

struct UnitRecord {
    std::string
        id;  // unique unit id (UUID text), made by the station: forwarding is idempotent on it
    std::string startTime;
    std::string endTime;
    std::string station;
    std::string operatorName;
    std::string slot;  // fixture slot name; empty for a single-box station

    std::string recipeName;
    std::string variant;
    std::string recipeSha256;

    std::string serial;
    std::string versionBefore;
    std::string versionAfter;
    std::string packageSha256;
    std::string settingsBefore;  // JSON
    std::string settingsAfter;   // JSON
    std::string settingsAfterSha256;

    UnitResult result = UnitResult::Fail;
    bool retry = false;   // the serial's last run through this recipe failed
    bool rework = false;  // run again on purpose after a pass
    std::string failedStep;
    std::string reasonCode;  // one of kReason...
    std::string reasonText;  // words for the operator

    std::vector<StepRecord> steps;

    std::string portDevice;
    std::string portByPath;
    std::string adapterSerial;
    std::string toolVersion;

    // For a failed or aborted unit: the link's last frames, hex, oldest first.
    std::vector<std::string> frameTrace;

    // The release bundle the recipe came from; empty and 0 for a plain recipe.
    std::string bundleId;  // SHA-256 of the bundle's manifest
    std::int64_t releaseNumber = 0;
    std::string signerKeyId;
    // Run on purpose (--allow-rollback) with a release older than one that
    // already passed for the variant.
    bool rollback = false;

    bool operator==(const UnitRecord&) const = default;
};

const char* UnitResultName(UnitResult result);  // "pass", "fail", "aborted"
bool UnitResultFromName(const std::string& name, UnitResult& result);

// Seconds from the record's start to its end time (0 when either is not
// ISO 8601 UTC as records write it).
double UnitSeconds(const UnitRecord& record);
