#include "station/unit_run.h"

#include <openssl/rand.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <random>

#include "device/option_table.h"
#include "device/settings_json.h"
#include "link/status_words.h"
#include "station/box_operations.h"
#include "station/digest.h"
#include "station/flight_recorder.h"

namespace {

// Operator texts of the station's own steps.
constexpr char kTextVersionSkip[] = "已是目标版本,跳过固件更新";
constexpr char kTextVersionWrong[] = "版本不符:";
constexpr char kTextNotSelectable[] = "设备中的选项值无效:";
constexpr char kTextReadBackDiffers[] = "读回不一致:";
constexpr char kTextAlreadyPassed[] = "该序列号已通过此配方(需返工请用 --rework)";
constexpr char kTextRetry[] = "上次未通过,重试";
constexpr char kTextRework[] = "返工";
constexpr char kTextAborted[] = "已中止";
// A file of the recipe was refused before any byte of it was sent.
constexpr char kTextFileNotSent[] = "文件未能发送:";
constexpr char kTextSettingsWritten[] = "设置已写入并读回一致";
constexpr char kTextDuplicateSerialBefore[] = "序列号重复:该序列号正在工位 ";
constexpr char kTextDuplicateSerialAfter[] = " 测试(设备放错?)";

// Transfers report every packet; a window or a bridge needs no more than
// this many milliseconds between two progress events.
constexpr long long kProgressIntervalMs = 100;

long long NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

const char* ReasonOf(const TransactionFailure& f, const char* noTransaction) {
    if (!f.any)
        return noTransaction;
    if (f.aborted)
        return kReasonAborted;
    switch (f.status) {
        case ST_OK:
            return kReasonBoxRefused;
        case ST_NO_REPLY:
            return kReasonNoReply;
        case ST_NO_DEVICE:
            return kReasonNoBox;
        default:
            return kReasonPortError;
    }
}

std::string HexWord(std::uint16_t word) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(word));
    return text;
}

std::string FailureText(const TransactionFailure& f) {
    if (!f.any)
        return {};
    if (f.status == ST_OK)
        return "设备拒绝: " + HexWord(f.resultWord);
    return "通信失败: " + HexWord(f.status);
}

// Every result word, in order; a run of one word is written once with its
// length ("EE00*3 0001").
std::string ResultWordsText(const std::vector<std::uint16_t>& words) {
    std::string text;
    for (std::size_t i = 0; i < words.size();) {
        std::size_t run = 1;
        while (i + run < words.size() && words[i + run] == words[i])
            ++run;
        text += (text.empty() ? "" : " ") + HexWord(words[i]);
        if (run > 1)
            text += "*" + std::to_string(run);
        i += run;
    }
    return text;
}

std::string SettingsText(const DeviceSettings& settings) {
    return SettingsToJson(settings).dump();
}

}  // namespace

std::string UtcNowText() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + n, sizeof text - n, ".%03dZ", static_cast<int>(ms));
    return text;
}

std::string NewUnitId() {
    unsigned char b[16];
    if (RAND_bytes(b, sizeof b) != 1) {
        // The system's generator is the fallback; ids need only be unique.
        std::random_device rd;
        for (unsigned char& c : b)
            c = static_cast<unsigned char>(rd());
    }
    b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);  // version 4
    b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
    char text[37];
    std::snprintf(text, sizeof text,
                  "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0],
                  b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return text;
}

CUnitRun::CUnitRun(const Recipe& recipe, IRecordStore& store, CBoxOperations& box,
                   CFlightRecorder& recorder, const StationOptions& options, Emit emit)
    : m_recipe(recipe),
      m_store(store),
      m_box(box),
      m_recorder(recorder),
      m_options(options),
      m_emit(std::move(emit)) {}

UnitOutcome CUnitRun::Run(const std::string& unitId, const PortIdentity& port) {
    m_record = UnitRecord{};
    m_record.id = unitId;
    m_record.startTime = UtcNowText();
    m_record.station = m_options.station;
    m_record.operatorName = m_options.operatorName;
    m_record.slot = m_options.slot;
    m_record.recipeName = m_recipe.name;
    m_record.variant = m_recipe.variant;
    m_record.recipeSha256 = m_recipe.sha256;
    m_record.portDevice = port.device;
    m_record.portByPath = port.byPath;
    m_record.adapterSerial = port.adapterSerial;
    m_record.toolVersion = m_options.toolVersion;
    if (m_recipe.firmware)
        m_record.packageSha256 = m_recipe.firmware->sha256;

    m_box.SetProgressSink([this](long long value, long long total) {
        const long long now = NowMs();
        if (m_lastProgressMs >= 0 && now - m_lastProgressMs < kProgressIntervalMs)
            return;
        m_lastProgressMs = now;
        StationEvent e;
        e.kind = StationEventKind::Progress;
        e.step = m_step.name;
        e.value = value;
        e.total = total;
        m_emit(e);
    });

    bool store = true;
    const bool passed = Identify() && Interlock(store) && Firmware() && Settings() && Downloads();
    if (passed) {
        m_record.result = UnitResult::Pass;
    } else {
        m_record.frameTrace = m_recorder.Snapshot();
    }
    m_box.SetProgressSink(nullptr);
    m_record.endTime = UtcNowText();
    return UnitOutcome{m_record, store};
}

void CUnitRun::BeginStep(const char* name) {
    m_step = StepRecord{};
    m_step.name = name;
    m_stepStartMs = NowMs();
    m_lastProgressMs = -1;
    m_box.ClearFailure();
    StationEvent e;
    e.kind = StationEventKind::StepStart;
    e.step = name;
    m_emit(e);
}

bool CUnitRun::EndStep(bool ok) {
    m_step.ok = ok;
    m_step.durationMs = static_cast<std::uint32_t>(NowMs() - m_stepStartMs);
    m_record.steps.push_back(m_step);
    StationEvent e;
    e.kind = StationEventKind::StepEnd;
    e.step = m_step.name;
    e.ok = ok;
    e.durationMs = m_step.durationMs;
    e.text = m_step.statusTexts.empty() ? std::string() : m_step.statusTexts.back();
    e.serial = m_record.serial;
    m_emit(e);
    return ok;
}

void CUnitRun::Note(const std::string& text) {
    m_step.statusTexts.push_back(text);
}

bool CUnitRun::FailStep(const char* reason, const std::string& text) {
    // A step whose request was held back for an abort was cut short by it.
    const bool aborted = m_box.LastFailure().aborted;
    m_record.result = aborted ? UnitResult::Aborted : UnitResult::Fail;
    m_record.failedStep = m_step.name;
    m_record.reasonCode = aborted ? kReasonAborted : reason;
    m_record.reasonText = aborted ? kTextAborted : text;
    Note(m_record.reasonText);
    return EndStep(false);
}

bool CUnitRun::FailFromBox(const char* noTransaction, const std::string& noTransactionText) {
    const TransactionFailure f = m_box.LastFailure();
    std::string text = FailureText(f);
    if (!f.any)
        text = noTransactionText;
    return FailStep(ReasonOf(f, noTransaction), text);
}

bool CUnitRun::Identify() {
    BeginStep("identify");
    if (!m_box.ReadVersion(m_record.versionBefore) || !m_box.ReadSerial(m_record.serial))
        return FailFromBox(kReasonBoxRefused);
    m_record.versionAfter = m_record.versionBefore;
    return EndStep(true);
}

bool CUnitRun::Interlock(bool& store) {
    BeginStep("interlock");
    std::string holder;
    if (m_options.serials != nullptr && !m_record.serial.empty() &&
        !m_options.serials->Claim(m_record.serial, m_options.slot, holder)) {
        // Not stored: the other slot's run decides what the serial's last
        // run was, and a failure stored here would make a passed serial
        // look retryable.
        store = false;
        return FailStep(kReasonDuplicateSerial,
                        kTextDuplicateSerialBefore + holder + kTextDuplicateSerialAfter);
    }
    switch (m_store.Interlock(m_record.serial, m_recipe.sha256)) {
        case InterlockState::New:
            break;
        case InterlockState::Passed:
            if (!m_options.rework) {
                store = false;
                return FailStep(kReasonAlreadyPassed, kTextAlreadyPassed);
            }
            m_record.rework = true;
            Note(kTextRework);
            break;
        case InterlockState::LastFailed:
            m_record.retry = true;
            Note(kTextRetry);
            break;
    }
    return EndStep(true);
}

bool CUnitRun::Firmware() {
    if (!m_recipe.firmware)
        return true;
    const RecipeFirmware& fw = *m_recipe.firmware;
    BeginStep("firmware");
    if (m_record.versionBefore == fw.version) {
        Note(kTextVersionSkip);
        return EndStep(true);
    }
    // Unknown until the box reports it again: a failed update may have left
    // it in its loader.
    m_record.versionAfter.clear();
    // The bytes read, checked and hashed when the recipe was loaded.
    if (!m_box.UpdateFirmware(*fw.bytes))
        return FailFromBox(kReasonFileError, kTextFileNotSent + fw.package);
    m_box.ClearFailure();
    if (!m_box.ReadVersion(m_record.versionAfter))
        return FailFromBox(kReasonBoxRefused);
    if (m_record.versionAfter != fw.version) {
        return FailStep(kReasonVersionMismatch, std::string(kTextVersionWrong) +
                                                    m_record.versionAfter + " != " + fw.version);
    }
    return EndStep(true);
}

bool CUnitRun::Settings() {
    BeginStep("settings");
    DeviceSettings before;
    if (const OpResult read = m_box.ReadSettings(before); !read.ok)
        return FailFromBox(kReasonBoxRefused);
    m_record.settingsBefore = SettingsText(before);
    if (m_recipe.settingOptions.empty()) {
        // Nothing to write: the settings as read are the settings after.
        m_record.settingsAfter = m_record.settingsBefore;
        m_record.settingsAfterSha256 = Sha256Hex(m_record.settingsAfter);
        return EndStep(true);
    }

    DeviceSettings wanted = before;
    ApplyRecipeSettings(m_recipe, wanted);
    if (!AllSelectionsSet(wanted)) {
        std::string fields;
        for (const OptionInfo& o : Options()) {
            if (!o.IsFlag() && !(wanted.*o.selection))
                fields += (fields.empty() ? "" : ", ") + std::string(o.field);
        }
        return FailStep(kReasonVerifyMismatch, kTextNotSelectable + fields);
    }
    if (!m_box.WriteSettings(wanted).ok)
        return FailFromBox(kReasonBoxRefused);
    DeviceSettings after;
    if (const OpResult read = m_box.ReadSettings(after); !read.ok)
        return FailFromBox(kReasonBoxRefused);
    m_record.settingsAfter = SettingsText(after);
    m_record.settingsAfterSha256 = Sha256Hex(m_record.settingsAfter);

    // Every option, by name, as the settings file writes it.
    const nlohmann::json want = SettingsToJson(wanted);
    const nlohmann::json got = SettingsToJson(after);
    std::string differences;
    for (const OptionInfo& o : Options()) {
        const std::string key(o.field);
        if (want[key] == got[key])
            continue;
        const std::string line = key + ": 应为 " + want[key].dump() + ", 读回 " + got[key].dump();
        Note(line);
        differences += (differences.empty() ? "" : "; ") + line;
    }
    if (!differences.empty())
        return FailStep(kReasonVerifyMismatch, kTextReadBackDiffers + differences);
    Note(kTextSettingsWritten);
    return EndStep(true);
}

bool CUnitRun::Downloads() {
    for (const RecipeDownload& d : m_recipe.downloads) {
        BeginStep("download");
        const bool requireSuccess = !d.ignoreResult;
        const OpResult sent = m_box.Download(*d.bytes, d.slot, requireSuccess);
        m_step.resultWords = ResultWordsText(sent.resultWords);
        if (!sent)
            return FailFromBox(kReasonFileError, kTextFileNotSent + d.file);
        EndStep(true);
        if (d.jump) {
            BeginStep("jump");
            const OpResult jumped = m_box.Jump(d.slot, requireSuccess);
            m_step.resultWords = ResultWordsText(jumped.resultWords);
            if (!jumped)
                return FailFromBox(kReasonBoxRefused);
            EndStep(true);
        }
    }
    return true;
}
