#include "station/engine/station.h"

#include <chrono>
#include <utility>

#include "link/port_choice.h"
#include "link/port_failure.h"
#include "records/unit_id.h"
#include "res/station_texts.h"
#include "station/engine/unit_run.h"

CStation::CStation(const Recipe& recipe, IRecordStore& store, IStationObserver& observer,
                   StationOptions options)
    : m_recipe(recipe),
      m_store(store),
      m_observer(observer),
      m_options(std::move(options)),
      m_box(m_link, m_options.timing),
      m_storeGate(store, m_options.requireServer) {
    m_link.SetDiagnosticStream(m_options.diagnostics);
    m_link.SetTraceHook([this](bool outgoing, const std::uint8_t* bytes, std::size_t n) {
        m_recorder.Record(outgoing, bytes, n);
        if (m_options.trace)
            m_options.trace(outgoing, bytes, n);
    });
    m_box.SetAbortCheck([this] { return AbortCheck(); });
    m_storeGate.Watch(m_options.storeCheck);
    m_storeGate.Journal(m_options.journal);
}

CStation::~CStation() {
    m_link.SetTraceHook(nullptr);
    m_link.Disconnect();
}

CStation::StopEffect CStation::RequestStop() {
    const int requests = m_stopRequests.fetch_add(1) + 1;
    m_stopSignal.Signal();
    m_removalWake.Signal();
    if (!m_inUnit.load())
        return StopEffect::EndsNow;
    return requests >= 2 ? StopEffect::AbortsTheUnit : StopEffect::EndsAfterTheUnit;
}

void CStation::Emit(StationEvent event) {
    event.slot = m_options.slot;
    event.unitId = m_unitId;
    m_observer.OnStationEvent(event);
}

bool CStation::AbortCheck() const {
    return m_stopRequests.load() >= 2;
}

namespace {

// The operator's words for what keeps a slot's port from being used.
const char* PortProblemWords(const BoxWaitResult& attempt) {
    if (!attempt.failure)
        return kTextPortChoiceProblem;
    switch (attempt.failure->kind) {
        case PortFailureKind::PermissionDenied:
            return kTextPortNoPermission;
        case PortFailureKind::Busy:
            return kTextPortBusy;
        case PortFailureKind::Gone:
            return kTextPortGone;
        case PortFailureKind::NotSerial:
            return kTextPortNotSerial;
        case PortFailureKind::None:
        case PortFailureKind::Other:
            break;
    }
    return kTextPortUnusable;
}

}  // namespace

void CStation::SayPortProblem(const BoxWaitResult& attempt) {
    // Said once, not at every probe: an adapter not plugged in yet is what
    // waiting is for, but the operator should know what the slot waits on.
    std::string problem = attempt.pick.problem;
    if (attempt.failure) {
        PortPick where = attempt.pick;
        if (where.path.empty())
            where.path = attempt.failure->path;
        problem = PortPickLabel(where) + ": " + PortFailureText(*attempt.failure);
    }
    if (problem == m_portProblem)
        return;
    const bool wasSaid = !m_portProblem.empty();
    m_portProblem = problem;
    StationEvent notice;
    notice.kind = StationEventKind::Notice;
    if (!problem.empty()) {
        // Chinese first, the technical cause after.
        notice.text = std::string(PortProblemWords(attempt)) + " / " + problem;
    } else if (wasSaid) {
        // What was said no longer holds: the message line should not keep it.
        notice.text = kTextPortBack;
    } else {
        return;
    }
    Emit(notice);
}

BoxWaitOptions CStation::WaitOptions() {
    BoxWaitOptions wait;
    wait.reprobe = std::chrono::milliseconds(m_options.probeIntervalMs);
    // The operator unplugs one of the adapters; the slot waits for that.
    wait.endWhenAmbiguous = false;
    wait.onMiss = [this](const BoxWaitResult& attempt) { SayPortProblem(attempt); };
    return wait;
}

bool CStation::WaitForBox() {
    StationEvent waiting;
    waiting.kind = StationEventKind::Waiting;
    waiting.text = PortChoiceKey(m_options.port);
    Emit(waiting);
    const BoxWaitResult result = ::WaitForBox(m_link, m_options.port, WaitOptions(), m_stopSignal);
    if (result.end != BoxWaitEnd::Answered)
        return false;
    m_portPath = result.pick.path;
    SayPortProblem(BoxWaitResult{});  // a problem said before is over
    return true;
}

void CStation::RequestRework(const std::string& serial) {
    {
        std::lock_guard lock(m_reworkMutex);
        m_reworkSerial = serial;
    }
    m_removalWake.Signal();
}

std::string CStation::TakeRework() {
    std::lock_guard lock(m_reworkMutex);
    return std::exchange(m_reworkSerial, std::string());
}

bool CStation::ReworkAsked() const {
    std::lock_guard lock(m_reworkMutex);
    return !m_reworkSerial.empty();
}

bool CStation::WaitForRemoval() {
    const std::chrono::milliseconds interval(m_options.probeIntervalMs);
    for (;;) {
        // Cleared before looking: a request either is seen here or wakes the
        // wait below.
        m_removalWake.Clear();
        if (StopRequested())
            return false;
        if (ReworkAsked())
            return true;
        if (::WaitForRemoval(m_link, kRemovalMisses, interval, m_removalWake) ==
            RemovalWaitEnd::Removed) {
            break;
        }
    }
    // A rework asked for a box that is gone lapses.
    TakeRework();
    StationEvent e;
    e.kind = StationEventKind::Removed;
    Emit(e);
    return true;
}

UnitRecord CStation::Commit(const UnitOutcome& outcome, bool& stored) {
    stored = false;
    if (!outcome.store)
        return outcome.record;
    const UnitRecord& record = outcome.record;
    const bool requirePassFree = record.result == UnitResult::Pass && !record.rework;
    const InsertResult inserted = m_store.Insert(record, requirePassFree);
    if (inserted) {
        stored = true;
        return record;
    }
    // Not stored, so not shown as passed: another station may have passed
    // the serial meanwhile, or the store failed.
    UnitRecord shown = record;
    shown.result = UnitResult::Fail;
    shown.failedStep = kStepRecord;
    if (inserted.outcome == InsertOutcome::AlreadyPassed) {
        shown.reasonCode = kReasonAlreadyPassed;
        shown.reasonText = kTextRecordFailed + inserted.message;
        return shown;
    }
    // A fault of the store, not a refusal: said in words, and the record of
    // what the operator saw is stored before the next box is taken.
    shown.reasonCode = kReasonRecordError;
    shown.reasonText = kTextRecordFailed + StoreErrorWords(inserted);
    m_storeGate.Hold(shown, inserted);
    return shown;
}

bool CStation::StoreOpen() {
    return m_storeGate.WaitUntilOpen(
        [this](const std::string& text) {
            StationEvent notice;
            notice.kind = StationEventKind::Notice;
            notice.text = text;
            Emit(notice);
        },
        // The stop signal stays set once raised, so a stop ends every pause.
        [this](std::uint32_t ms) {
            return !m_stopSignal.Wait(static_cast<int>(ms)) && !StopRequested();
        });
}

std::string CStation::PortText() const {
    const std::string key = PortChoiceKey(m_options.port);
    return key.empty() ? "COM" + std::to_string(m_link.ConnectedPortNumber()) : key;
}

PortIdentity CStation::AnsweredPort() const {
    // A scan, or a numbered port, leaves no path: the link knows the number.
    return m_portPath.empty() ? DescribePort(m_link.ConnectedPortNumber())
                              : DescribePortPath(m_portPath);
}

std::optional<UnitResult> CStation::Run() {
    const std::optional<UnitResult> last = Loop();
    if (m_options.serials != nullptr)
        m_options.serials->Release(m_options.slot);
    return last;
}

bool CStation::WaitForBoxLeftBehind() {
    // A box counts as gone, as for a removal, only when probes in a row over
    // that many intervals went unanswered.
    BoxWaitOptions wait = WaitOptions();
    wait.limit = std::chrono::milliseconds(m_options.probeIntervalMs) * (kRemovalMisses - 1);
    const BoxWaitResult found = ::WaitForBox(m_link, m_options.port, wait, m_stopSignal);
    if (found.end == BoxWaitEnd::Cancelled)
        return false;
    if (found.end != BoxWaitEnd::Answered)
        return true;
    std::string serial;
    if (!m_box.ReadSerial(serial) || serial != m_options.leftSerial)
        return true;  // another box: it runs as any new one
    return WaitForRemoval();
}

std::optional<UnitResult> CStation::Loop() {
    std::optional<UnitResult> last;
    if (!m_options.leftSerial.empty() && !WaitForBoxLeftBehind())
        return last;
    for (;;) {
        m_unitId.clear();
        if (m_options.serials != nullptr)
            m_options.serials->Release(m_options.slot);
        if (!WaitForBox() || !StoreOpen())
            return last;
        m_inUnit = true;
        if (StopRequested()) {
            m_inUnit = false;
            return last;
        }
        m_unitId = NewUnitId();
        StationEvent start;
        start.kind = StationEventKind::UnitStart;
        start.text = PortText();
        Emit(start);
        const PortIdentity port = AnsweredPort();

        CUnitRun unit(m_recipe, m_store, m_box, m_recorder, m_options,
                      [this](StationEvent e) { Emit(std::move(e)); });
        unit.AllowReworkOf(TakeRework());
        const UnitOutcome outcome = unit.Run(m_unitId, port);
        m_inUnit = false;
        m_recorder.Clear();

        bool stored = false;
        const UnitRecord shown = Commit(outcome, stored);
        StationEvent end;
        end.kind = StationEventKind::UnitEnd;
        end.record = &shown;
        end.stored = stored;
        Emit(end);
        last = shown.result;

        if (m_options.once || StopRequested())
            return last;
        // A record the store failed to take is stored before anything else.
        if (!StoreOpen() || !WaitForRemoval())
            return last;
    }
}
