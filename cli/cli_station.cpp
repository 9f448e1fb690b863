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
#include <vector>

#include "cli/cli_output.h"
#include "records/record_store.h"
#include "records/record_time.h"
#include "res/station_texts.h"
#include "res/version.h"
#include "station/board/event_json.h"
#include "station/engine/station.h"
#include "station/engine/station_group.h"
#include "station/engine/station_store.h"
#include "station/engine/store_gate.h"
#include "station/engine/unit_run.h"
#include "station/release/station_source.h"

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

// The slots of --slots FILE or of repeated --slot NAME=PORT; false with `error`.
bool RequestedSlots(const CliRequest& request, std::vector<StationSlot>& slots,
                    std::string& error) {
    if (request.slotsFile)
        return LoadSlotsFile(*request.slotsFile, slots, error);
    for (const std::string& text : request.stationSlots) {
        StationSlot slot;
        if (!ParseSlotOption(text, slot, error))
            return false;
        slots.push_back(slot);
    }
    return CheckSlots(slots, error);
}

StationTrust StationTrustOf(const CliRequest& request) {
    StationTrust trust;
    if (request.trust) {
        trust.folder = *request.trust;
        trust.folderGiven = true;
    }
    return trust;
}

}  // namespace

int RunStationCommand(const CliRequest& request, std::FILE* out, std::FILE* err,
                      std::FILE* diagnostics) {
    // A recipe, or a release bundle holding one; the store's default place is
    // beside this file either way.
    const std::string recipePath = request.args.front();
    StationSource source;
    std::string error;
    if (!OpenStationSource(recipePath, StationTrustOf(request), std::chrono::system_clock::now(),
                           source, error)) {
        std::fprintf(err, "vornak-cli: %s\n", error.c_str());
        return kExitUsage;
    }
    const Recipe& recipe = source.recipe;
    const bool grouped = request.slotsFile || !request.stationSlots.empty();
    std::vector<StationSlot> slots;
    if (grouped && !RequestedSlots(request, slots, error)) {
        std::fprintf(err, "vornak-cli: %s\n", error.c_str());
        return kExitUsage;
    }
    std::unique_ptr<IRecordStore> store = OpenStationStore(recipePath, request.db, error);
    if (!store) {
        std::fprintf(err, "vornak-cli: cannot open the records store %s\n", error.c_str());
        return kExitUsage;
    }
    if (!CheckRollback(*store, request.allowRollback, source, error)) {
        std::fprintf(err, "vornak-cli: %s: %s\n", recipePath.c_str(), error.c_str());
        return kExitUsage;
    }

    StationOptions options;
    options.station = request.stationName.value_or(DefaultStationName());
    options.operatorName = request.operatorName.value_or(DefaultOperatorName());
    options.port = request.port;
    options.once = request.once;
    options.rework = request.rework;
    options.requireServer = request.requireServer;
    options.toolVersion = kToolVersionText;
    options.release = source.release;
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
    if (!request.once)
        return kExitSuccess;
    // With --once every slot ran one unit, and all of them had to pass.
    const bool allPassed = std::all_of(results.begin(), results.end(),
                                       [](const auto& r) { return r == UnitResult::Pass; });
    return allPassed ? kExitSuccess : kExitFailure;
}
