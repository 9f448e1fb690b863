// The station and its records store: a damaged store stops the line; a
// store that fails to take a record (disk full, locked) holds the station
// until it takes it; a station that requires the server takes no box while
// the server is away.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/mount.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "records/record_journal.h"
#include "records/sqlite_record_store.h"
#include "res/store_texts.h"
#include "station/engine/station_store.h"
#include "station/engine/store_check.h"
#include "station_fixture.h"
#include "tests/support/inserted.h"
#include "tests/support/temp_dir.h"

namespace {

// Past the store's own waits (the busy time-out of a locked file) and a unit.
constexpr std::chrono::seconds kStoreWait{60};

bool HasNotice(const std::vector<KeptEvent>& events, const std::string& part) {
    return std::any_of(events.begin(), events.end(), [&](const KeptEvent& e) {
        return e.event.kind == StationEventKind::Notice &&
               e.event.text.find(part) != std::string::npos;
    });
}

// Waits (polling: the check has no event to wait on) for the full check to end.
bool CheckEnds(const CStoreCheck& check) {
    const auto limit = std::chrono::steady_clock::now() + kStoreWait;
    while (!check.Done() && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return check.Done();
}

// Runs a station until it tells the operator `notice` (or the wait runs out),
// then stops it; whether it told.
bool RunUntilTold(const Recipe& recipe, IRecordStore& store, CEventKeeper& events,
                  const StationOptions& options, const char* notice) {
    CStation station(recipe, store, events, options);
    std::thread loop([&] { station.Run(); });
    const bool told = events.WaitUntil(
        [notice](const auto& seen) { return HasNotice(seen, notice); }, kStoreWait);
    station.RequestStop();
    loop.join();
    return told;
}

std::optional<UnitRecord> StoredRecord(IRecordStore& store, const std::string& id) {
    std::optional<UnitRecord> record;
    std::string error;
    EXPECT_TRUE(store.Find(id, record, error)) << error;
    return record;
}

// A small tmpfs of the test's own, so that a store on it can fill it (needs
// the right to mount; Mounted() says whether it worked).
class CSmallFileSystem {
public:
    CSmallFileSystem() {
        m_mounted = mount("tmpfs", m_folder.Path().c_str(), "tmpfs", 0, "size=4m") == 0;
    }
    ~CSmallFileSystem() {
        if (m_mounted)
            umount2(m_folder.Path().c_str(), MNT_DETACH);
    }
    bool Mounted() const { return m_mounted; }
    std::string Path() const { return m_folder.Path(); }
    // Writes a file until the file system is full.
    void Fill() {
        std::ofstream filler(FillerPath(), std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size()) && filler.flush()) {
        }
    }
    void MakeRoom() { std::filesystem::remove(FillerPath()); }

private:
    std::string FillerPath() const { return m_folder.Path() + "/filler"; }

    CTempDir m_folder{"station-fs"};
    bool m_mounted = false;
};

// Another connection holding the file's write lock while it lives.
class CWriteLock {
public:
    explicit CWriteLock(const std::string& path) {
        sqlite3_open(path.c_str(), &m_db);
        EXPECT_EQ(sqlite3_exec(m_db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(m_db);
    }
    ~CWriteLock() { Release(); }
    void Release() {
        if (m_db != nullptr) {
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(m_db);
            m_db = nullptr;
        }
    }

private:
    sqlite3* m_db = nullptr;
};

TEST_F(StationTest, AStoreThatFailsARecordHoldsTheNextBoxUntilItTakesIt) {
    UseRecipe(FullRecipeText());
    CSmallFileSystem fileSystem;
    struct Fault {
        const char* name;
        const char* words;  // what the operator is told
        // Starts the fault on the store at the path; returns how to end it.
        std::function<std::function<void()>(const std::string&)> begin;
    };
    const Fault faults[] = {
        {"disk full", kStoreFaultDiskFull,
         [&](const std::string&) {
             fileSystem.Fill();
             return [&] { fileSystem.MakeRoom(); };
         }},
        {"locked by another connection", kStoreFaultLocked,
         [](const std::string& path) {
             auto lock = std::make_shared<CWriteLock>(path);
             return [lock] { lock->Release(); };
         }},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.name);
        if (fault.words == kStoreFaultDiskFull && !fileSystem.Mounted()) {
            ADD_FAILURE() << "can't mount a tmpfs here: the disk-full case did not run";
            continue;
        }
        const std::string path = fileSystem.Path() + "/" + fault.name + ".db";
        std::string error;
        auto store = CSqliteRecordStore::Open(path, error);
        ASSERT_NE(store, nullptr) << error;
        CEventKeeper events;
        std::function<void()> end = fault.begin(path);
        CStation station(m_recipe, *store, events, Options(/*once=*/false));
        std::thread loop([&] { station.Run(); });

        ASSERT_TRUE(events.WaitUntil([](const auto& seen) { return HasNotice(seen, kStorePaused); },
                                     kStoreWait));
        const UnitRecord shown = events.OfKind(StationEventKind::UnitEnd).front().record;
        EXPECT_EQ(shown.failedStep, "record");
        EXPECT_EQ(shown.reasonCode, kReasonRecordError);
        EXPECT_NE(shown.reasonText.find(fault.words), std::string::npos) << shown.reasonText;
        EXPECT_TRUE(HasNotice(events.Events(), fault.words));
        EXPECT_FALSE(StoredRecord(*store, shown.id).has_value());

        end();
        const bool resumed = events.WaitUntil(
            [](const auto& seen) { return HasNotice(seen, kStoreResumed); }, kStoreWait);
        station.RequestStop();
        loop.join();
        ASSERT_TRUE(resumed);
        // What the operator saw is what the store keeps, and one unit ran.
        const std::optional<UnitRecord> stored = StoredRecord(*store, shown.id);
        ASSERT_TRUE(stored.has_value());
        EXPECT_EQ(stored->failedStep, "record");
        EXPECT_EQ(events.OfKind(StationEventKind::UnitStart).size(), 1u);
    }
}

// A record the store refused is kept in the journal beside it: stopping the
// station loses it not, and the next start stores it before it takes a box.
TEST_F(StationTest, ARecordTheStoreRefusedOutlivesAStopInTheJournal) {
    UseRecipe(FullRecipeText());
    CSmallFileSystem fileSystem;
    if (!fileSystem.Mounted())
        GTEST_SKIP() << "can't mount a tmpfs here";
    const std::string path = fileSystem.Path() + "/records.db";
    const std::string journalPath = fileSystem.Path() + "/" + kDefaultJournalFile;
    std::string error;
    auto store = CSqliteRecordStore::Open(path, error);
    ASSERT_NE(store, nullptr) << error;
    UnitRecord shown;
    {
        // Made before the disk fills: its room is taken when it opens.
        auto journal = CRecordJournal::Open(journalPath, error);
        ASSERT_NE(journal, nullptr) << error;
        fileSystem.Fill();
        StationOptions options = Options(/*once=*/false);
        options.journal = journal.get();
        CStation station(m_recipe, *store, m_events, options);
        std::thread loop([&] { station.Run(); });
        ASSERT_TRUE(m_events.WaitUntil(
            [](const auto& seen) { return HasNotice(seen, kStorePaused); }, kStoreWait));
        station.RequestStop();
        loop.join();
        shown = m_events.OfKind(StationEventKind::UnitEnd).front().record;
        EXPECT_FALSE(StoredRecord(*store, shown.id).has_value());
    }
    // As the next start finds it.
    fileSystem.MakeRoom();
    auto journal = CRecordJournal::Open(journalPath, error);
    ASSERT_NE(journal, nullptr) << error;
    ASSERT_EQ(journal->Waiting().size(), 1u);
    EXPECT_EQ(journal->Waiting().front().id, shown.id);
    EXPECT_EQ(journal->Waiting().front().serial, shown.serial);

    CEventKeeper events;
    StationOptions options = Options(/*once=*/true);
    options.journal = journal.get();
    CStation station(m_recipe, *store, events, options);
    station.Run();
    ASSERT_EQ(events.OfKind(StationEventKind::UnitStart).size(), 1u);
    const std::optional<UnitRecord> stored = StoredRecord(*store, shown.id);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->reasonCode, kReasonRecordError);
    EXPECT_TRUE(journal->Waiting().empty());
    EXPECT_TRUE(CRecordJournal::Open(journalPath, error)->Waiting().empty());
}

// A start checks only what it can at once; the full check runs beside the
// units and, once it finds damage, the line stops: no box is taken, and the
// operator is told why. A sound store's check lets units run.
TEST_F(StationTest, ADamagedStoreFoundByTheFullCheckStopsTheLine) {
    UseRecipe(FullRecipeText());
    const std::string path = m_workspace.WorkDir() + "/records.db";
    {
        std::string error;
        auto store = CSqliteRecordStore::Open(path, error);
        ASSERT_NE(store, nullptr) << error;
        // Enough records for pages beyond the schema's.
        for (int i = 0; i < 200; ++i) {
            UnitRecord record;
            record.id = "r" + std::to_string(i);
            record.serial = "S" + std::to_string(i);
            record.startTime = "2026-12-10T08:00:00.000Z";
            record.reasonText = std::string(400, 'x');
            ASSERT_TRUE(Inserted(store->Insert(record, false)));
        }
    }
    std::string error;
    {
        auto sound =
            OpenStationStore(m_workspace.WorkDir() + "/recipe.toml", "sqlite:" + path, error);
        ASSERT_NE(sound, nullptr) << error;
        const CStoreCheck check(*sound, std::chrono::milliseconds(0));
        ASSERT_TRUE(CheckEnds(check));
        EXPECT_FALSE(check.Damage()) << *check.Damage();
    }
    {
        // Half the file overwritten past its first pages, as a torn write
        // or a bad disk leaves it.
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        const auto size = std::filesystem::file_size(path);
        file.seekp(static_cast<std::streamoff>(size / 2));
        const std::string junk(size / 4, '\x5a');
        file.write(junk.data(), static_cast<std::streamsize>(junk.size()));
    }
    auto store = OpenStationStore(m_workspace.WorkDir() + "/recipe.toml", "sqlite:" + path, error);
    ASSERT_NE(store, nullptr) << "the start checks only what it can at once: " << error;
    const CStoreCheck check(*store, std::chrono::milliseconds(0));
    ASSERT_TRUE(CheckEnds(check));
    ASSERT_TRUE(check.Damage());
    EXPECT_NE(check.Damage()->find(path), std::string::npos) << *check.Damage();

    StationOptions options = Options(/*once=*/true);
    options.storeCheck = &check;
    EXPECT_TRUE(RunUntilTold(m_recipe, *store, m_events, options, kStoreDamaged));
    EXPECT_TRUE(m_events.OfKind(StationEventKind::UnitStart).empty());
}

// With the server required, a box waits while the server is away: no unit
// starts, and the operator is told why.
TEST_F(StationTest, RequiringTheServerTakesNoBoxWhileItIsAway) {
    UseRecipe(FullRecipeText());
    std::string error;
    // Port 1 of the loopback: nothing listens there.
    auto store = OpenRecordStore("postgresql://postgres@127.0.0.1:1/vornak",
                                 m_workspace.WorkDir() + "/queue.db", error);
    ASSERT_NE(store, nullptr) << error;
    StationOptions options = Options(/*once=*/true);
    options.requireServer = true;
    EXPECT_TRUE(RunUntilTold(m_recipe, *store, m_events, options, kServerRequired));
    EXPECT_TRUE(m_events.OfKind(StationEventKind::UnitStart).empty());
}

}  // namespace
