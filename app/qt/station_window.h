#pragma once
// CStationWindow: the production station's own window, a view of a
// CStationGroup (one unit loop per fixture slot) through a CStationBoard.
//
// Principles of operation. The group calls its observer on the slots'
// threads; the window's observer copies each event (the record included) and
// posts it to the GUI thread as a queued call, where the board takes it and
// the tiles, counters and list show it. Nothing on the GUI thread waits for a
// slot: stopping the group (to close the window or to switch recipe) asks
// every slot to stop, and a waiter thread joins them and posts the rest of
// the work back; the window keeps painting meanwhile and takes the close or
// switch as done only then. The destructor stops and joins whatever is left,
// so the group never outlives the window that observes it.
//
// Closing or switching recipe while a unit runs asks first (default 否); a
// yes aborts the running units (recorded as aborted with their step). A tile
// whose box was refused (its serial passed) offers rework, asked the same way.
//
// While the records server is away a banner above the tiles says so, with
// the number of records waiting for it; the store's status hook posts each
// change to the GUI thread.
//
// The report button writes the shift report of the current shift beside
// the store (off the GUI thread) and has the desktop open it
// (QDesktopServices, so a URL handler may take it).
//
// Recipes are picked by scanning a variant's barcode into the scan field (a
// keyboard wedge types it and presses Enter): the recipe or release bundle
// of that variant among the *.toml and *.vbundle files of the lookup's
// folder (FindSourceByVariant: bundles checked whole first, and an older
// release refused unless the lookup allows rollback). The window keeps the
// source it runs, so a bundle's unpacked files live as long as its group.
//
// The record list shows the latest records, or every record of one serial
// typed into its search field (the store is read off the GUI thread).
//
// What to do with a scan's answer is DecideScan's (station/release/
// scan_decision.h); the window asks, says and switches.
//
// Threads: the GUI thread, the slots' threads (observer calls only), and the
// window's background work, one CBackgroundWork whose lanes each run one job
// at a time: the waiter while the group stops, the search while the store is
// read for a serial, the report while one is written, the scan's lookup and
// the first read of the latest records. The destructor joins them all, then
// the group. No lock of its own.

#include <QWidget>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/qt/background_work.h"
#include "records/record_store.h"
#include "records/report/report_shifts.h"
#include "station/board/station_board.h"
#include "station/config/recipe.h"
#include "station/engine/station_group.h"
#include "station/engine/station_options.h"
#include "station/release/scan_decision.h"
#include "station/release/station_source.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QTreeWidget;
class CStationTile;

// Where the shift report button writes, and the shifts it knows.
struct StationReportPlace {
    std::string folder;  // beside the store (StationStoreFolder)
    ShiftSchedule shifts;
};

class CStationWindow : public QWidget {
    Q_OBJECT
public:
    // Starts the group on `source` at once. `options` are the slots' common
    // options (station name, operator, waits; the release is the source's);
    // `store` is the records store; `lookup` is where scans look.
    CStationWindow(StationSource source, SourceLookup lookup, std::vector<StationSlot> fixtureSlots,
                   std::unique_ptr<IRecordStore> store, const StationOptions& options,
                   StationReportPlace report, QWidget* parent = nullptr);
    ~CStationWindow() override;
    CStationWindow(const CStationWindow&) = delete;
    CStationWindow& operator=(const CStationWindow&) = delete;

    // Picks the recipe or bundle of the scanned variant, as Enter in the scan
    // field does: looks it up off the GUI thread, then switches to it (asking
    // first when a unit runs). A scan while a lookup runs is refused.
    void OnScan(const QString& text);

signals:
    // The group runs on a (new) recipe, or could not start (`ok` false).
    void groupStarted(bool ok);
    // An event from a slot has been shown.
    void eventShown();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // The widgets' signals to the window's handlers.
    void ConnectSignals();
    // Shows the window's first state, reads the latest records, hooks the
    // store's banner, starts the tiles' clock and (from the event loop) the
    // group.
    void StartUp();
    void OnScanLookedUp(const ScanAnswer& answer);
    // Stops the group (aborting its units) and starts it again on `next`.
    void SwitchTo(std::shared_ptr<StationSource> next);
    void StartGroup();
    // Asks the group to stop (aborting running units when `abort`), joins it
    // off the GUI thread, then drops it and runs `then` on the GUI thread.
    void StopGroupThen(bool abort, std::function<void()> then);
    void OnWaiterDone(std::function<void()> then);
    bool AnyUnitRunning() const;
    // True when no unit runs or the operator agreed to abort them.
    bool ConfirmAbort(const QString& question);
    // True when the operator answered yes (no is the default).
    bool AskYesNo(const QString& question);
    // The rework button of tile `index`: asks, then has the slot run its
    // refused box again as a rework.
    void OnRework(std::size_t index);
    // The report button: writes the current shift's report off the GUI
    // thread; once written, the desktop opens it.
    void OnShiftReport();
    void OnReportDone(const std::string& path, bool written, const std::string& error);
    void ShowEvent(const KeptStationEvent& kept);
    void ShowTile(std::size_t index);
    void ShowCounters();
    // Shows the records of `serial` (all of them, read from the store off the
    // GUI thread), or the latest records again when it is empty.
    void Search(const QString& serial);
    void OnSearchDone(const QString& serial, bool ok, std::vector<UnitRecord> records,
                      const std::string& error);
    // Reads the latest records off the GUI thread as the window opens; the
    // list shows them behind any that units added meanwhile.
    void LoadLatest();
    // What the list shows: the search's records, or the board's latest.
    const std::deque<UnitRecord>& ShownRecords() const;
    void ShowRecords();
    void ShowDetail();
    void ShowRecipe();
    void ShowStoreStatus(const StoreStatus& status);
    void Say(const QString& text, bool problem);

    friend class CStationEventForwarder;

    std::unique_ptr<StationSource> m_source;
    const SourceLookup m_lookup;
    std::unique_ptr<IRecordStore> m_store;
    StationOptions m_options;
    StationReportPlace m_report;
    std::vector<StationSlot> m_slots;
    CStationBoard m_board;
    std::unique_ptr<IStationObserver> m_forwarder;
    std::unique_ptr<CStationGroup> m_group;
    // After what its jobs use, so it would go first (the destructor joins it
    // before anything anyway).
    CBackgroundWork m_work;
    // The serial the list shows (empty: the latest records), its records once
    // read, and a serial asked for while another search was running.
    QString m_searchSerial;
    std::optional<std::deque<UnitRecord>> m_found;
    std::optional<QString> m_nextSearch;
    // Boxes left in their slots across a recipe switch, by slot, for the
    // next group (see CStationGroup::SetBoxesLeft).
    std::map<std::string, std::string> m_boxesLeft;
    bool m_stopping = false;
    bool m_closeAgreed = false;

    QLabel* m_recipeLabel = nullptr;
    QLineEdit* m_scan = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_storeBanner = nullptr;
    std::vector<CStationTile*> m_tiles;
    QLabel* m_passed = nullptr;
    QLabel* m_failed = nullptr;
    QLabel* m_refused = nullptr;
    QLabel* m_yield = nullptr;
    QLabel* m_cycle = nullptr;
    QLineEdit* m_search = nullptr;
    QPushButton* m_reportButton = nullptr;
    QTreeWidget* m_records = nullptr;
    QPlainTextEdit* m_detail = nullptr;
    QTimer* m_clock = nullptr;
};
