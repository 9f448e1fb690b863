#pragma once
// Opening a station from what its front end was told (`vornak-cli station`
// and the station window, from `vornak --station` or the main window): the
// one place that reads the recipe or bundle, the slots, the store and the
// earlier releases, in that order, and fills the defaults. A front end parses
// its own command line into a StationLaunchRequest, words a refusal in its
// own language and runs what it gets. Runs on the caller's thread; the one
// thread it starts is the store's full check (CStoreCheck), which the setup
// owns. The setup's store is the caller's from then on.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "records/record_store.h"
#include "station/config/slots_file.h"
#include "station/engine/station_options.h"
#include "station/release/station_source.h"

// A refused launch exits as a wrong command line does (vornak-cli's
// kExitUsage): nothing was touched.
inline constexpr int kLaunchRefusedExit = 2;

struct StationLaunchRequest {
    std::string file;                        // a recipe or a release bundle
    std::optional<std::string> slotsFile;    // --slots FILE
    std::vector<std::string> slotOptions;    // --slot NAME=PORT, as given
    std::optional<std::string> dbUrl;        // --db URL
    std::optional<std::string> trustFolder;  // --trust DIR
    bool allowRollback = false;              // --allow-rollback
    // The records' station and operator names; the host's and the login
    // user's when not given.
    std::optional<std::string> stationName;
    std::optional<std::string> operatorName;
};

// Everything a station runs with once each step read and checked its input.
struct StationSetup {
    StationSetup() = default;
    StationSetup(StationSetup&&) = default;
    // Member by member, a move would replace the store before the full check
    // that reads it: the old setup goes whole (check first) before the new
    // one takes its place.
    StationSetup& operator=(StationSetup&& other) {
        if (this != &other) {
            std::destroy_at(this);
            std::construct_at(this, std::move(other));
        }
        return *this;
    }
    ~StationSetup() = default;

    StationSource source;
    // The slots asked for; none when neither a slots file nor --slot was.
    // (Not named `slots`, a macro in Qt code.)
    std::vector<StationSlot> fixtureSlots;
    std::unique_ptr<IRecordStore> store;
    // Beside the store: the records it refused, until it takes them (the
    // options point at it).
    std::unique_ptr<CRecordJournal> journal;
    // The store's full check, running beside the units (the options point at
    // it); declared after the store, so it ends before the store closes.
    std::unique_ptr<CStoreCheck> storeCheck;
    // Where a scanned variant is looked up: the file's folder, with the
    // request's trust and rollback.
    SourceLookup lookup;
    // The store's folder (StationStoreFolder), where reports are written.
    std::string storeFolder;
    // Station and operator names, the tool's version and the source's
    // release; a front end adds its own run options.
    StationOptions options;
};

// The step of the launch that refused, so a front end can say it its way.
enum class LaunchStep { Source, Slots, Store, Rollback };

struct LaunchRefusal {
    LaunchStep step;
    int exitStatus = kLaunchRefusedExit;
    // Why, naming the file, the slot option or the store as the step
    // does; without the front end's prefix.
    std::string message;
};

using StationLaunchResult = std::variant<StationSetup, LaunchRefusal>;

// Reads and checks the request's inputs in order (source, slots, store,
// rollback), the first refusal ending it; `now` is the bundle's expiry check.
StationLaunchResult LaunchStation(const StationLaunchRequest& request,
                                  std::chrono::system_clock::time_point now);
