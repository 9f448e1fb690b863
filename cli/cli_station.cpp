#include "cli/cli_station.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "cli/cli_output.h"
#include "cli/cli_text_escape.h"
#include "records/record_store.h"
#include "records/record_time.h"
#include "res/station_texts.h"
#include "station/board/event_json.h"
#include "station/engine/station.h"
#include "station/engine/station_group.h"
#include "station/engine/store_gate.h"
#include "station/engine/unit_run.h"
#include "station/release/station_launch.h"

namespace {

// The station's thread wakes the waiting main thread with this when it ends,
// so the tool exits as soon as the unit's end is shown.
constexpr int kEndedSignal = SIGUSR1;

// Renders the station's events: result lines (or JSON) on stdout, words for
// the operator on stderr.
class CStationPrinter : public IStationObserver {
public:
    CStationPrinter(std::FILE* out, std::FILE* err, bool json)
        : m_out(out), m_err(err), m_json(json) {}

    void OnStationEvent(const StationEvent& e) override {
        std::lock_guard lock(m_mutex);
        if (m_json) {
            const std::string line =
                StationEventToJson(e, RecordTimeText(std::chrono::system_clock::now()))
                    .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
            std::fprintf(m_out, "%s\n", line.c_str());
            std::fflush(m_out);
        }
        m_slot = e.slot;
        switch (e.kind) {
            case StationEventKind::Waiting:
                Say(kTextWaitingForBox + (e.text.empty() ? std::string() : " (" + e.text + ")") +
                    " ...");
                break;
            case StationEventKind::UnitStart:
                Say(kTextBoxConnectedAt + e.text);
                break;
            case StationEventKind::StepEnd:
                if (!e.ok)
                    Say(kTextStepWord + e.step + kTextStepFailed + e.text);
                break;
            case StationEventKind::UnitEnd:
                if (e.record != nullptr && !m_json) {
                    // A slot's line leads with the slot's name (which holds no blank).
                    const std::string slot = e.slot.empty() ? std::string() : e.slot + " ";
                    std::fprintf(m_out, "%s%s\n", slot.c_str(), ResultLine(*e.record).c_str());
                    std::fflush(m_out);
                }
                break;
            case StationEventKind::Removed:
                Say(kTextBoxGone);
                break;
            case StationEventKind::Notice:
                Say(e.text);
                break;
            case StationEventKind::StepStart:
            case StationEventKind::Progress:
                break;
        }
    }

private:
    void Say(const std::string& text) {
        const std::string slot = m_slot.empty() ? std::string() : "[" + m_slot + "] ";
        std::fprintf(m_err, "%s%s\n", slot.c_str(), text.c_str());
        std::fflush(m_err);
    }

    // The station's thread and the thread that takes Ctrl-C both print.
    std::mutex m_mutex;
    std::FILE* m_out;
    std::FILE* m_err;
    bool m_json;
    std::string m_slot;  // of the event being rendered
};

// Tells the operator when the records server goes away and when it is back,
// for as long as it lives (the store's hook calls it on the store's threads).
class CServerNotices {
public:
    CServerNotices(IRecordStore& store, IStationObserver& printer)
        : m_store(store), m_printer(printer) {
        m_store.SetStatusHook([this](const StoreStatus& status) { OnStatus(status); });
    }
    ~CServerNotices() { m_store.SetStatusHook(nullptr); }
    CServerNotices(const CServerNotices&) = delete;
    CServerNotices& operator=(const CServerNotices&) = delete;

private:
    void OnStatus(const StoreStatus& status) {
        if (status.away == m_away)
            return;
        m_away = status.away;
        StationEvent notice;
        notice.kind = StationEventKind::Notice;
        notice.text = StoreStatusWords(status);
        m_printer.OnStationEvent(notice);
    }

    IRecordStore& m_store;
    IStationObserver& m_printer;
    bool m_away = false;  // as last said; the hook's calls are serialised
};

// Runs the station (`run`, on a thread of its own) while this thread takes
// SIGINT and SIGTERM with sigwaitinfo (blocked in every thread, so no
// handler runs): each one is a stop request (`stop`), and the operator hears
// at once what it does. The station's thread ends the wait with
// kEndedSignal, sent to this thread alone.
void RunUntilStopped(const std::function<void()>& run,
                     const std::function<CStation::StopEffect()>& stop, CStationPrinter& printer) {
    sigset_t waited;
    sigemptyset(&waited);
    sigaddset(&waited, SIGINT);
    sigaddset(&waited, SIGTERM);
    sigaddset(&waited, kEndedSignal);
    sigset_t oldMask;
    pthread_sigmask(SIG_BLOCK, &waited, &oldMask);

    const pthread_t waiter = pthread_self();
    std::atomic<bool> done{false};
    std::thread loop([&] {
        run();
        done = true;
        pthread_kill(waiter, kEndedSignal);
    });
    while (!done.load()) {
        siginfo_t info{};
        if (sigwaitinfo(&waited, &info) < 0 || info.si_signo == kEndedSignal)
            continue;
        StationEvent notice;
        notice.kind = StationEventKind::Notice;
        switch (stop()) {
            case CStation::StopEffect::EndsNow:
                notice.text = kTextStopping;
                break;
            case CStation::StopEffect::EndsAfterTheUnit:
                notice.text = kTextStopAfterUnit;
                break;
            case CStation::StopEffect::AbortsTheUnit:
                notice.text = kTextAborting;
                break;
        }
        printer.OnStationEvent(notice);
    }
    loop.join();
    // The end's signal may still be pending (the loop saw `done` first): it
    // is taken here, before the old mask would let it end the process.
    sigset_t ended;
    sigemptyset(&ended);
    sigaddset(&ended, kEndedSignal);
    const timespec now{0, 0};
    while (sigtimedwait(&ended, nullptr, &now) == kEndedSignal) {
    }
    pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
}

// What the station is told to open, from the command line.
StationLaunchRequest LaunchRequestOf(const CliRequest& request) {
    StationLaunchRequest launch;
    // A recipe, or a release bundle holding one; the store's default place
    // is beside this file either way.
    launch.file = request.args.front();
    launch.slotsFile = request.slotsFile;
    launch.slotOptions = request.stationSlots;
    launch.dbUrl = request.db;
    launch.trustFolder = request.trust;
    launch.allowRollback = request.allowRollback;
    launch.stationName = request.stationName;
    launch.operatorName = request.operatorName;
    return launch;
}

// A refused launch in the command line's words.
void SayRefusal(const LaunchRefusal& refusal, const std::string& file, std::FILE* err) {
    switch (refusal.step) {
        case LaunchStep::Source:
        case LaunchStep::Slots:
            std::fprintf(err, "vornak-cli: %s\n", refusal.message.c_str());
            break;
        case LaunchStep::Store:
            std::fprintf(err, "vornak-cli: cannot open the records store %s\n",
                         refusal.message.c_str());
            break;
        case LaunchStep::Rollback:
            std::fprintf(err, "vornak-cli: %s: %s\n", file.c_str(), refusal.message.c_str());
            break;
    }
}

}  // namespace

int RunStationCommand(const CliRequest& request, std::FILE* out, std::FILE* err,
                      std::FILE* diagnostics) {
    const StationLaunchRequest launch = LaunchRequestOf(request);
    StationLaunchResult launched = LaunchStation(launch, std::chrono::system_clock::now());
    if (const auto* refusal = std::get_if<LaunchRefusal>(&launched)) {
        SayRefusal(*refusal, launch.file, err);
        return refusal->exitStatus;
    }
    StationSetup& setup = std::get<StationSetup>(launched);
    const StationSource& source = setup.source;
    const Recipe& recipe = source.recipe;
    const std::unique_ptr<IRecordStore>& store = setup.store;
    // Without slots, one station on the --port box; with them, a group.
    const bool grouped = !setup.fixtureSlots.empty();
    const std::vector<StationSlot>& slots = setup.fixtureSlots;
    std::string error;

    StationOptions options = setup.options;
    options.port = request.port;
    options.once = request.once;
    options.rework = request.rework;
    options.requireServer = request.requireServer;
    options.diagnostics = diagnostics;

    // Declared before the station, whose link traces into it.
    CCliReporter tracer(out, err, false);
    if (request.trace) {
        options.trace = [&tracer](bool outgoing, const std::uint8_t* bytes, std::size_t n) {
            tracer.Trace(outgoing, bytes, n);
        };
    }
    CStationPrinter printer(out, err, request.json);
    std::fprintf(err, kTextRecipeAndStore, recipe.name.c_str(), recipe.variant.c_str(),
                 store->Describe().c_str());
    if (source.release) {
        // "Release bundle: release N, signer KEY[, rollback]".
        std::fprintf(err, kTextBundleLine, static_cast<long long>(source.release->number),
                     source.release->signerKeyId.c_str(),
                     source.release->rollback ? kTextRollbackMark : "");
    }
    CServerNotices serverNotices(*store, printer);
    std::vector<std::optional<UnitResult>> results;
    if (grouped) {
        CStationGroup group(recipe, *store, printer, options, slots);
        if (!group.Start(error)) {
            std::fprintf(err, "vornak-cli: %s\n", error.c_str());
            return kExitUsage;
        }
        RunUntilStopped([&group] { group.Wait(); }, [&group] { return group.Stop(); }, printer);
        results = group.Results();
    } else {
        CStation station(recipe, *store, printer, options);
        RunUntilStopped([&] { results.push_back(station.Run()); },
                        [&station] { return station.RequestStop(); }, printer);
    }
    // A record the store refused waits in the journal: the stop says so, box
    // by box, and is no success.
    const std::vector<UnitRecord> waiting = setup.journal->Waiting();
    for (const UnitRecord& record : waiting) {
        std::fprintf(err, kTextRecordWaits, EscapeForOutput(record.serial).c_str(),
                     record.id.c_str(), EscapeForOutput(setup.journal->Path()).c_str());
    }
    if (!waiting.empty())
        return kExitFailure;
    if (!request.once)
        return kExitSuccess;
    // With --once every slot ran one unit, and all of them had to pass.
    const bool allPassed = std::all_of(results.begin(), results.end(),
                                       [](const auto& r) { return r == UnitResult::Pass; });
    return allPassed ? kExitSuccess : kExitFailure;
}
