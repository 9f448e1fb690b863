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
// Recipes are picked by scanning a variant's barcode into the scan field (a
// keyboard wedge types it and presses Enter): the recipe or release bundle
// of that variant among the *.toml and *.vbundle files of the lookup's
// folder (FindSourceByVariant: bundles checked whole first, and an older
// release refused unless the lookup allows rollback). The window keeps the
// source it runs, so a bundle's unpacked files live as long as its group.
//
// Threads: the GUI thread, the slots' threads (observer calls only), and one
// waiter thread at a time while the group stops.

#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "records/record_store.h"
#include "station/board/station_board.h"
#include "station/config/recipe.h"
#include "station/engine/station_group.h"
#include "station/engine/station_options.h"
#include "station/release/station_source.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTimer;
class QTreeWidget;
class CStationTile;

class CStationWindow : public QWidget {
    Q_OBJECT
public:
    // Starts the group on `source` at once. `options` are the slots' common
    // options (station name, operator, waits; the release is the source's);
    // `store` is the records store; `lookup` is where scans look.
    CStationWindow(StationSource source, SourceLookup lookup, std::vector<StationSlot> fixtureSlots,
                   std::unique_ptr<IRecordStore> store, const StationOptions& options,
                   QWidget* parent = nullptr);
    ~CStationWindow() override;
    CStationWindow(const CStationWindow&) = delete;
    CStationWindow& operator=(const CStationWindow&) = delete;

    // Picks the recipe or bundle of the scanned variant, as Enter in the scan
    // field does.
    void OnScan(const QString& text);

signals:
    // The group runs on a (new) recipe, or could not start (`ok` false).
    void groupStarted(bool ok);
    // An event from a slot has been shown.
    void eventShown();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void StartGroup();
    // Asks the group to stop (aborting running units when `abort`), joins it
    // off the GUI thread, then drops it and runs `then` on the GUI thread.
    void StopGroupThen(bool abort, std::function<void()> then);
    void OnWaiterDone(std::function<void()> then);
    // True when no unit runs or the operator agreed to abort them.
    bool ConfirmAbort(const QString& question);
    // True when the operator answered yes (no is the default).
    bool AskYesNo(const QString& question);
    // The rework button of tile `index`: asks, then has the slot run its
    // refused box again as a rework.
    void OnRework(std::size_t index);
    void ShowEvent(const KeptStationEvent& kept);
    void ShowTile(std::size_t index);
    void ShowCounters();
    void ShowRecords();
    void ShowDetail();
    void ShowRecipe();
    void Say(const QString& text, bool problem);

    friend class CStationEventForwarder;

    std::unique_ptr<StationSource> m_source;
    const SourceLookup m_lookup;
    std::unique_ptr<IRecordStore> m_store;
    StationOptions m_options;
    std::vector<StationSlot> m_slots;
    CStationBoard m_board;
    std::unique_ptr<IStationObserver> m_forwarder;
    std::unique_ptr<CStationGroup> m_group;
    std::thread m_waiter;
    // Boxes left in their slots across a recipe switch, by slot, for the
    // next group (see CStationGroup::SetBoxesLeft).
    std::map<std::string, std::string> m_boxesLeft;
    bool m_stopping = false;
    bool m_closeAgreed = false;

    QLabel* m_recipeLabel = nullptr;
    QLineEdit* m_scan = nullptr;
    QLabel* m_message = nullptr;
    std::vector<CStationTile*> m_tiles;
    QLabel* m_passed = nullptr;
    QLabel* m_failed = nullptr;
    QLabel* m_refused = nullptr;
    QLabel* m_yield = nullptr;
    QLabel* m_cycle = nullptr;
    QTreeWidget* m_records = nullptr;
    QPlainTextEdit* m_detail = nullptr;
    QTimer* m_clock = nullptr;
};
