#include "station/engine/unit_run.h"

#include <chrono>
#include <cstdio>

#include "base/bytes_text.h"
#include "layouts/option_table.h"
#include "layouts/option_words.h"
#include "link/status_words.h"
#include "records/record_time.h"
#include "res/station_texts.h"
#include "station/config/digest.h"
#include "station/engine/box_operations.h"
#include "station/engine/flight_recorder.h"

namespace {

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

// The blocks in hex, apart by a blank.
std::string BlocksText(const ConfigBlockBytes& blocks) {
    std::string text;
    for (const std::vector<std::uint8_t>& b : blocks) {
        // A read stops at the first block that fails.
        if (b.empty())
            break;
        text += (text.empty() ? "" : " ") + BytesToHex(b.data(), b.size());
    }
    return text;
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
        return kTextBoxRefusedWord + HexWord(f.resultWord);
    return kTextLinkFailedWord + HexWord(f.status);
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

}  // namespace

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
    m_updated = false;
    m_record.id = unitId;
    m_record.startTime = RecordTimeText(std::chrono::system_clock::now());
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
    if (m_options.release)
        StampRecord(*m_options.release, m_record);

    m_box.SetProgressSink([this](long long value, long long total) {
        const long long now = NowMs();
        // A step going on with no count (the box applying an
        // update) is a change of phase, never held back.
        if (total > 0 && m_lastProgressMs >= 0 && now - m_lastProgressMs < kProgressIntervalMs)
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
    m_record.endTime = RecordTimeText(std::chrono::system_clock::now());
    return UnitOutcome{m_record, store};
}

void CUnitRun::BeginStep(const char* name) {
    m_step = StepRecord{};
    m_step.name = name;
    m_stepStartMs = NowMs();
    m_lastProgressMs = -1;
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

bool CUnitRun::FailStep(const char* reason, const std::string& text, bool aborted) {
    m_record.result = aborted ? UnitResult::Aborted : UnitResult::Fail;
    m_record.failedStep = m_step.name;
    m_record.reasonCode = aborted ? kReasonAborted : reason;
    m_record.reasonText = aborted ? kTextAborted : text;
    Note(m_record.reasonText);
    return EndStep(false);
}

bool CUnitRun::FailFromBox(const OpResult& result, const char* noTransaction,
                           const std::string& noTransactionText) {
    const TransactionFailure f = TransactionFailureOf(result);
    std::string text = FailureText(f);
    if (!f.any)
        text = noTransactionText;
    // A step whose request was held back for an abort was cut short by it.
    return FailStep(ReasonOf(f, noTransaction), text, f.aborted);
}

bool CUnitRun::Identify() {
    BeginStep(kStepIdentify);
    if (const OpResult version = m_box.ReadVersion(m_record.versionBefore); !version)
        return FailFromBox(version, kReasonBoxRefused);
    if (const OpResult serial = m_box.ReadSerial(m_record.serial); !serial)
        return FailFromBox(serial, kReasonBoxRefused);
    m_record.versionAfter = m_record.versionBefore;
    if (m_options.release && !FitsFamilies(*m_options.release, m_record.versionBefore))
        return FailStep(kReasonIncompatibleBox,
                        IncompatibleBoxText(*m_options.release, m_record.versionBefore));
    return EndStep(true);
}

bool CUnitRun::Interlock(bool& store) {
    BeginStep(kStepInterlock);
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
            if (!m_options.rework &&
                (m_reworkSerial.empty() || m_reworkSerial != m_record.serial)) {
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
    BeginStep(kStepFirmware);
    if (m_record.versionBefore == fw.version) {
        Note(kTextVersionSkip);
        return EndStep(true);
    }
    // Unknown until the box reports it again: a failed update may have left
    // it in its loader.
    m_record.versionAfter.clear();
    // The bytes read, checked and hashed when the recipe was loaded.
    if (const OpResult updated = m_box.UpdateFirmware(*fw.bytes); !updated) {
        // The line lost mid-transfer leaves the box between two firmwares:
        // the operator must know it needs the update again, not only that it
        // went silent.
        if (const TransactionFailure f = TransactionFailureOf(updated);
            f.any && !f.aborted && f.status != ST_OK && updated.bytesDone > 0)
            return FailStep(ReasonOf(f, kReasonFileError),
                            std::string(kTextUpdateUnfinished) + FailureText(f));
        return FailFromBox(updated, kReasonFileError, kTextFileNotSent + fw.package);
    }
    m_updated = true;
    if (const OpResult version = m_box.ReadVersion(m_record.versionAfter); !version)
        return FailFromBox(version, kReasonBoxRefused);
    if (m_record.versionAfter != fw.version) {
        return FailStep(kReasonVersionMismatch, std::string(kTextVersionWrong) +
                                                    m_record.versionAfter + " != " + fw.version);
    }
    return EndStep(true);
}

bool CUnitRun::Settings() {
    BeginStep(kStepSettings);
    DeviceSettings before;
    ConfigBlockBytes blocks;
    if (const OpResult read = m_box.ReadSettings(before, &blocks); !read.ok)
        return FailFromBox(read, kReasonBoxRefused);
    m_step.blocksRead = BlocksText(blocks);
    m_record.settingsBefore = SettingsRecordText(before);
    const std::optional<DeviceSettings> complete = CompleteSettings(m_recipe);
    if (!complete && m_recipe.settingOptions.empty()) {
        // Nothing to write: the settings as read are the settings after.
        m_record.settingsAfter = m_record.settingsBefore;
        m_record.settingsAfterSha256 = Sha256Hex(m_record.settingsAfter);
        return EndStep(true);
    }
    // One configuration per recipe: whatever an earlier test left on the
    // box goes first. A completed update ends with a factory reset itself.
    if (complete && !m_updated) {
        if (const OpResult restored = m_box.RestoreFactorySettings(); !restored)
            return FailFromBox(restored, kReasonBoxRefused);
    }

    DeviceSettings wanted = before;
    if (complete)
        wanted = *complete;
    else
        ApplyRecipeSettings(m_recipe, wanted);
    if (!AllSelectionsSet(wanted)) {
        std::string fields;
        for (const OptionInfo& o : Options()) {
            if (!o.IsFlag() && !(wanted.*o.selection))
                fields += (fields.empty() ? "" : ", ") + std::string(o.field);
        }
        return FailStep(kReasonVerifyMismatch, kTextNotSelectable + fields);
    }
    // A recipe that names no option wants the factory settings just restored.
    if (!(complete && wanted == FactorySettings())) {
        const OpResult written = m_box.WriteSettings(wanted, &blocks);
        m_step.blocksWritten = BlocksText(blocks);
        if (!written)
            return FailFromBox(written, kReasonBoxRefused);
    }
    // Only the options are compared (boxes may hold other values in bytes
    // no option maps); the blocks themselves go into the record.
    DeviceSettings after;
    blocks = {};
    const OpResult readBack = m_box.ReadSettings(after, &blocks);
    m_step.blocksRead = BlocksText(blocks);
    if (!readBack)
        return FailFromBox(readBack, kReasonBoxRefused);
    m_record.settingsAfter = SettingsRecordText(after);
    m_record.settingsAfterSha256 = Sha256Hex(m_record.settingsAfter);

    // Every option, by caption and key, its values in words.
    std::string differences;
    for (const OptionInfo& o : Options()) {
        if (o.IsFlag() ? wanted.*o.flag == after.*o.flag
                       : wanted.*o.selection == after.*o.selection)
            continue;
        const std::string line = OptionCaptionWithKey(o) + ": " + kTextExpected +
                                 OptionValueWords(o, wanted) + ", " + kTextReadBack +
                                 OptionValueWords(o, after);
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
        BeginStep(kStepDownload);
        const bool requireSuccess = !d.ignoreResult;
        const OpResult sent = m_box.Download(*d.bytes, d.slot, requireSuccess);
        m_step.resultWords = ResultWordsText(sent.resultWords);
        if (!sent)
            return FailFromBox(sent, kReasonFileError, kTextFileNotSent + d.file);
        EndStep(true);
        if (d.jump) {
            BeginStep(kStepJump);
            const OpResult jumped = m_box.Jump(d.slot, requireSuccess);
            m_step.resultWords = ResultWordsText(jumped.resultWords);
            if (!jumped)
                return FailFromBox(jumped, kReasonBoxRefused);
            EndStep(true);
        }
    }
    return true;
}
