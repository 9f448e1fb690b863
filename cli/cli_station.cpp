#include "cli/cli_station.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include "records/record_store.h"
#include "station/event_json.h"
#include "station/station.h"
#include "station/unit_run.h"

namespace {

// Files the station keeps beside the recipe unless told otherwise.
constexpr char kDefaultDbName[] = "records.db";
constexpr char kQueueDbName[] = "records-queue.db";

// The running station, for the signal handler: RequestStop only counts in an
// atomic, which a handler may do.
std::atomic<CStation*> g_runningStation{nullptr};

void OnStopSignal(int) {
    if (CStation* station = g_runningStation.load())
        station->RequestStop();
}

// Installs the handler for the life of the object and puts the old one back.
class CStopSignals {
public:
    explicit CStopSignals(CStation& station) {
        g_runningStation = &station;
        struct sigaction sa {};
        sa.sa_handler = OnStopSignal;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGINT, &sa, &m_oldInt);
        sigaction(SIGTERM, &sa, &m_oldTerm);
    }
    ~CStopSignals() {
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
        g_runningStation = nullptr;
    }
    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;

private:
    struct sigaction m_oldInt {};
    struct sigaction m_oldTerm {};
};

// Renders the station's events: result lines (or JSON) on stdout, words for
// the operator on stderr.
class CStationPrinter : public IStationObserver {
public:
    CStationPrinter(std::FILE* out, std::FILE* err, bool json)
        : m_out(out), m_err(err), m_json(json) {}

    void OnStationEvent(const StationEvent& e) override {
        if (m_json) {
            const std::string line =
                StationEventToJson(e, UtcNowText())
                    .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
            std::fprintf(m_out, "%s\n", line.c_str());
            std::fflush(m_out);
        }
        switch (e.kind) {
            case StationEventKind::Waiting:
                Say("等待设备" + (e.text.empty() ? std::string() : " (" + e.text + ")") + " ...");
                break;
            case StationEventKind::UnitStart:
                Say("设备已连接 " + e.text);
                break;
            case StationEventKind::StepEnd:
                if (!e.ok)
                    Say("步骤 " + e.step + " 失败: " + e.text);
                break;
            case StationEventKind::UnitEnd:
                if (e.record != nullptr && !m_json) {
                    std::fprintf(m_out, "%s\n", ResultLine(*e.record).c_str());
                    std::fflush(m_out);
                }
                break;
            case StationEventKind::Removed:
                Say("设备已移除");
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
        std::fprintf(m_err, "%s\n", text.c_str());
        std::fflush(m_err);
    }

    std::FILE* m_out;
    std::FILE* m_err;
    bool m_json;
};

std::string HostName() {
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 ? name : "";
}

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : fallback;
}

}  // namespace

int RunStationCommand(const CliRequest& request, std::FILE* out, std::FILE* err) {
    const std::string recipePath = request.args.front();
    Recipe recipe;
    std::string error;
    if (!LoadRecipe(recipePath, recipe, error)) {
        std::fprintf(err, "vornak-cli: %s\n", error.c_str());
        return kExitUsage;
    }
    const std::filesystem::path besideRecipe = std::filesystem::absolute(recipePath).parent_path();
    const std::string url =
        request.db.value_or("sqlite:" + (besideRecipe / kDefaultDbName).string());
    std::unique_ptr<IRecordStore> store =
        OpenRecordStore(url, (besideRecipe / kQueueDbName).string(), error);
    if (!store) {
        std::fprintf(err, "vornak-cli: cannot open the records store %s: %s\n", url.c_str(),
                     error.c_str());
        return kExitUsage;
    }

    StationOptions options;
    options.station = request.stationName.value_or(HostName());
    options.operatorName = request.operatorName.value_or(EnvOr("USER", ""));
    options.port = request.port;
    options.once = request.once;
    options.rework = request.rework;
    options.toolVersion = VORNAK_TOOL_VERSION;

    CStationPrinter printer(out, err, request.json);
    CStation station(recipe, *store, printer, options);
    std::fprintf(err, "配方 %s (%s), 记录: %s\n", recipe.name.c_str(), recipe.variant.c_str(),
                 store->Describe().c_str());
    std::optional<UnitResult> last;
    {
        const CStopSignals signals(station);
        last = station.Run();
    }
    if (!request.once)
        return kExitSuccess;
    return last == UnitResult::Pass ? kExitSuccess : kExitFailure;
}
