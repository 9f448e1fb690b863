#include "station/release/station_launch.h"

#include <filesystem>
#include <utility>

#include "base/utf8_text.h"
#include "res/version.h"
#include "station/engine/station_store.h"

namespace {

// The slots of --slots FILE or of the --slot options; false with `error`.
bool RequestedSlots(const StationLaunchRequest& request, std::vector<StationSlot>& slots,
                    std::string& error) {
    if (request.slotsFile)
        return LoadSlotsFile(*request.slotsFile, slots, error);
    if (request.slotOptions.empty())
        return true;
    for (const std::string& text : request.slotOptions) {
        StationSlot slot;
        if (!ParseSlotOption(text, slot, error))
            return false;
        slots.push_back(slot);
    }
    return CheckSlots(slots, error);
}

LaunchRefusal Refused(LaunchStep step, std::string message) {
    return LaunchRefusal{step, kLaunchRefusedExit, std::move(message)};
}

// Why a name every record carries can't be one, or empty: it holds no
// control character and none a reader cannot see or that turns the text
// around it, as a recipe's texts do not.
std::string NameProblem(const char* option, const std::optional<std::string>& name) {
    if (!name)
        return {};
    if (const std::string control = FirstControlCharacter(*name); !control.empty())
        return std::string(option) + ": must hold no control character (" + control + ")";
    if (const std::string invisible = FirstInvisibleCharacter(*name); !invisible.empty())
        return std::string(option) + ": must hold no invisible or direction-changing character (" +
               invisible + ")";
    return {};
}

}  // namespace

StationLaunchResult LaunchStation(const StationLaunchRequest& request,
                                  std::chrono::system_clock::time_point now) {
    StationSetup setup;
    setup.lookup.folder = std::filesystem::absolute(request.file).parent_path().string();
    if (request.trustFolder) {
        setup.lookup.trust.folder = *request.trustFolder;
        setup.lookup.trust.folderGiven = true;
    }
    setup.lookup.allowRollback = request.allowRollback;
    setup.storeFolder = StationStoreFolder(request.file, request.dbUrl);

    std::string error;
    for (const std::string& problem : {NameProblem("--station", request.stationName),
                                       NameProblem("--operator", request.operatorName)}) {
        if (!problem.empty())
            return Refused(LaunchStep::Source, problem);
    }
    if (!OpenStationSource(request.file, setup.lookup.trust, now, setup.source, error))
        return Refused(LaunchStep::Source, error);
    if (!RequestedSlots(request, setup.fixtureSlots, error))
        return Refused(LaunchStep::Slots, error);
    setup.store = OpenStationStore(request.file, request.dbUrl, error);
    if (!setup.store)
        return Refused(LaunchStep::Store, error);
    // Records an earlier run could not store wait here; they are stored
    // before the first box (store_gate.h).
    const std::string journalPath =
        (std::filesystem::path(setup.storeFolder) / kDefaultJournalFile).string();
    setup.journal = CRecordJournal::Open(journalPath, error);
    if (!setup.journal)
        return Refused(LaunchStep::Store, error);
    setup.storeCheck = std::make_unique<CStoreCheck>(*setup.store);
    // After the store: the releases that passed are in it.
    if (!CheckRollback(*setup.store, request.allowRollback, setup.source, error))
        return Refused(LaunchStep::Rollback, error);

    setup.options.station = request.stationName.value_or(DefaultStationName());
    setup.options.operatorName = request.operatorName.value_or(DefaultOperatorName());
    setup.options.toolVersion = kToolVersionText;
    setup.options.release = setup.source.release;
    setup.options.journal = setup.journal.get();
    setup.options.storeCheck = setup.storeCheck.get();
    return setup;
}
