#include "station/engine/station.h"

#include <utility>

#include "link/port_choice.h"
#include "link/port_identity.h"
#include "records/unit_id.h"
#include "station/engine/unit_run.h"

namespace {

constexpr char kTextRecordFailed[] = "记录未能保存:";

}  // namespace

CStation::CStation(const Recipe& recipe, IRecordStore& store, IStationObserver& observer,
                   StationOptions options)
    : m_recipe(recipe),
      m_store(store),
      m_observer(observer),
      m_options(std::move(options)),
      m_box(m_link, m_options.timing) {
    m_link.SetTraceHook([this](bool outgoing, const std::uint8_t* bytes, std::size_t n) {
        m_recorder.Record(outgoing, bytes, n);
        if (m_options.trace)
            m_options.trace(outgoing, bytes, n);
    });
    m_box.SetAbortCheck([this] { return AbortCheck(); });
}

CStation::~CStation() {
    m_link.SetTraceHook(nullptr);
    m_link.Disconnect();
}

CStation::StopEffect CStation::RequestStop() {
    const int requests = m_stopRequests.fetch_add(1) + 1;
    m_stopSignal.Signal();
    if (!m_inUnit.load())
        return StopEffect::EndsNow;
    return requests >= 2 ? StopEffect::AbortsTheUnit : StopEffect::EndsAfterTheUnit;
}

void CStation::Emit(StationEvent event) {
    event.slot = m_options.slot;
    event.unitId = m_unitId;
    m_observer.OnStationEvent(event);
}

bool CStation::SleepUnlessStopped(std::uint32_t ms) const {
    return !StopRequested() && !m_stopSignal.Wait(static_cast<int>(ms));
}

bool CStation::AbortCheck() const {
    return m_stopRequests.load() >= 2;
}

std::string CStation::ResolveWatchedPort(std::string& problem) const {
    problem.clear();
    PortChoice choice;
    if (!ParsePortText(m_options.port, choice, problem))
        return {};
    if (choice.kind == PortChoice::Kind::Number)
        return ResolvePortName(PortChoiceKey(choice));
    const PortPick pick = PickPort(choice);
    // Only a clash is worth a word: an adapter not plugged in yet is what
    // waiting is for.
    if (pick.ambiguous)
        problem = pick.problem;
    return pick.path;
}

bool CStation::OpenWatchedPort() {
    std::string error;
    m_portPath = ResolveWatchedPort(error);
    if (error != m_portProblem) {
        // Said once, not at every probe.
        m_portProblem = error;
        if (!error.empty()) {
            StationEvent notice;
            notice.kind = StationEventKind::Notice;
            notice.text = error;
            Emit(notice);
        }
    }
    return !m_portPath.empty() && m_link.OpenPortPath(m_portPath, 0) == ST_OK;
}

bool CStation::WaitForBox() {
    StationEvent waiting;
    waiting.kind = StationEventKind::Waiting;
    waiting.text = PortTextKey(m_options.port);
    Emit(waiting);
    for (;;) {
        if (StopRequested())
            return false;
        if (!m_options.port.empty()) {
            // Resolved and opened afresh for every probe: a port that came
            // back (a box plugged in again) is a new device behind the name.
            if (OpenWatchedPort() && m_box.Probe())
                return true;
            m_link.Disconnect();
        } else {
            std::uint8_t com = 0;
            if (m_link.ScanPorts(&com) == ST_OK)
                return true;
        }
        if (!SleepUnlessStopped(m_options.probeIntervalMs))
            return false;
    }
}

void CStation::RequestRework(const std::string& serial) {
    std::lock_guard lock(m_reworkMutex);
    m_reworkSerial = serial;
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
    int misses = 0;
    while (misses < kRemovalMisses) {
        if (!SleepUnlessStopped(m_options.probeIntervalMs))
            return false;
        if (ReworkAsked())
            return true;
        misses = m_box.Probe() ? 0 : misses + 1;
    }
    // A rework asked for a box that is gone lapses.
    TakeRework();
    m_link.Disconnect();
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
    std::string error;
    if (m_store.Insert(record, requirePassFree, error)) {
        stored = true;
        return record;
    }
    // Not stored, so not shown as passed: another station may have passed
    // the serial meanwhile, or the store failed.
    UnitRecord shown = record;
    shown.result = UnitResult::Fail;
    shown.failedStep = kStepRecord;
    shown.reasonCode = requirePassFree && m_store.Interlock(record.serial, record.recipeSha256) ==
                                              InterlockState::Passed
                           ? kReasonAlreadyPassed
                           : kReasonRecordError;
    shown.reasonText = kTextRecordFailed + error;
    return shown;
}

std::string CStation::PortText() const {
    const std::string key = PortTextKey(m_options.port);
    return key.empty() ? "COM" + std::to_string(m_link.ConnectedPortNumber()) : key;
}

std::optional<UnitResult> CStation::Run() {
    const std::optional<UnitResult> last = Loop();
    if (m_options.serials != nullptr)
        m_options.serials->Release(m_options.slot);
    return last;
}

bool CStation::WaitForBoxLeftBehind() {
    // A box counts as gone, as for a removal, only after probes in a row
    // went unanswered.
    for (int misses = 0; misses < kRemovalMisses; ++misses) {
        if (misses > 0 && !SleepUnlessStopped(m_options.probeIntervalMs))
            return false;
        const bool answered = m_options.port.empty()
                                  ? [this] {
                                        std::uint8_t com = 0;
                                        return m_link.ScanPorts(&com) == ST_OK;
                                    }()
                                  : OpenWatchedPort() && m_box.Probe();
        if (!answered) {
            m_link.Disconnect();
            continue;
        }
        std::string serial;
        if (!m_box.ReadSerial(serial) || serial != m_options.leftSerial)
            return true;  // another box: it runs as any new one
        return WaitForRemoval();
    }
    return true;
}

std::optional<UnitResult> CStation::Loop() {
    std::optional<UnitResult> last;
    if (!m_options.leftSerial.empty() && !WaitForBoxLeftBehind())
        return last;
    for (;;) {
        m_unitId.clear();
        if (m_options.serials != nullptr)
            m_options.serials->Release(m_options.slot);
        if (!WaitForBox())
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
        const PortIdentity port = m_options.port.empty()
                                      ? DescribePort(m_link.ConnectedPortNumber())
                                      : DescribePortPath(m_portPath);

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
        if (!WaitForRemoval())
            return last;
    }
}
