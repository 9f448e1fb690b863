#include "app/qt/station_window.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <iterator>
#include <system_error>
#include <utility>

#include "app/qt/app_icons.h"
#include "app/qt/station_tile.h"
#include "app/qt/to_qstring.h"
#include "dialog/status_hints.h"
#include "records/record_json.h"
#include "records/record_words.h"
#include "records/report/shift_report.h"
#include "res/answer_texts.h"
#include "res/report_texts.h"
#include "res/resource.h"
#include "res/station_texts.h"
#include "res/station_window_texts.h"
#include "station/board/local_time.h"
#include "station/board/record_detail.h"
#include "station/engine/store_gate.h"

namespace {

// The running tiles' clocks tick this often.
constexpr int kClockTickMs = 500;
// At most this many tiles side by side; more slots wrap onto further rows.
constexpr int kTilesPerRow = 4;
constexpr int kHeaderPointSize = 18;
constexpr int kCounterPointSize = 20;
// A size that shows four tiles, the counters and a useful part of the list;
// a smaller screen gets the window at the size of its work area.
constexpr int kStartWidth = 1500;
constexpr int kStartHeight = 960;
// The scan field takes a barcode of a variant, a short text.
constexpr int kScanMinWidth = 220;
// The search field takes a serial, twelve hex digits, with room for its hint.
constexpr int kSearchMinWidth = 300;
// The record list and its detail keep a few rows in view below the tiles.
constexpr int kRecordsMinHeight = 110;

// The window's background lanes (CBackgroundWork), one job each at a time.
constexpr char kLaneWaiter[] = "waiter";
constexpr char kLaneSearch[] = "search";
constexpr char kLaneReport[] = "report";
constexpr char kLaneScan[] = "scan";
constexpr char kLaneLatest[] = "latest";

enum RecordColumn { kColTime, kColSlot, kColSerial, kColResult, kColReason, kColumnCount };

long long SteadyNowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::vector<std::string> SlotNames(const std::vector<StationSlot>& fixtureSlots) {
    std::vector<std::string> names;
    for (const StationSlot& s : fixtureSlots)
        names.push_back(s.name);
    return names;
}

QFont PointFont(QWidget* widget, int pointSize, bool bold) {
    QFont font = widget->font();
    font.setPointSize(pointSize);
    font.setBold(bold);
    return font;
}

// The word with a mark, so the list does not rely on its colour.
QString ResultText(UnitResult result) {
    return QString::fromUtf8(result == UnitResult::Pass ? "✔ " : "✘ ") +
           QString::fromUtf8(ResultWords(result));
}

}  // namespace

// Carries each event from a slot's thread to the window's, with its own copy
// of the record (the event's pointer is valid during the call only).
class CStationEventForwarder : public IStationObserver {
public:
    explicit CStationEventForwarder(CStationWindow* window) : m_window(window) {}

    void OnStationEvent(const StationEvent& event) override {
        KeptStationEvent kept = KeepStationEvent(event);
        CStationWindow* window = m_window;
        QMetaObject::invokeMethod(
            window, [window, kept = std::move(kept)] { window->ShowEvent(kept); },
            Qt::QueuedConnection);
    }

private:
    CStationWindow* m_window;
};

CStationWindow::CStationWindow(StationSource source, SourceLookup lookup,
                               std::vector<StationSlot> fixtureSlots,
                               std::unique_ptr<IRecordStore> store, const StationOptions& options,
                               StationReportPlace report, QWidget* parent)
    : QWidget(parent),
      m_source(std::make_unique<StationSource>(std::move(source))),
      m_lookup(std::move(lookup)),
      m_store(std::move(store)),
      m_options(options),
      m_report(std::move(report)),
      m_slots(std::move(fixtureSlots)),
      m_board(SlotNames(m_slots)),
      m_forwarder(std::make_unique<CStationEventForwarder>(this)) {
    m_options.release = m_source->release;
    setWindowFlag(Qt::Window);
    setWindowIcon(LoadResIcon(IDR_MAINFRAME));
    const QRect work = screen()->availableGeometry();
    resize(std::min(kStartWidth, work.width()), std::min(kStartHeight, work.height()));

    m_recipeLabel = new QLabel(this);
    m_recipeLabel->setObjectName(QStringLiteral("recipeLabel"));
    m_recipeLabel->setFont(PointFont(m_recipeLabel, kHeaderPointSize, true));
    // A long recipe name is cut rather than pushing the scan field off.
    m_recipeLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* scanLabel = new QLabel(ToQString(kTextScanLabel), this);
    scanLabel->setFont(PointFont(scanLabel, kHeaderPointSize, false));
    m_scan = new QLineEdit(this);
    m_scan->setObjectName(QStringLiteral("scanField"));
    m_scan->setFont(PointFont(m_scan, kHeaderPointSize, false));
    m_scan->setPlaceholderText(ToQString(kTextScanHint));
    m_scan->setMinimumWidth(kScanMinWidth);
    // Beside the scan field: the counters' row is full on a 1280 wide screen.
    m_reportButton = new QPushButton(ToQString(kReportTitle), this);
    m_reportButton->setObjectName(QStringLiteral("shiftReport"));
    m_reportButton->setFont(PointFont(m_reportButton, kHeaderPointSize - 4, false));
    auto* header = new QHBoxLayout;
    header->addWidget(m_recipeLabel, 1);
    header->addWidget(scanLabel);
    header->addWidget(m_scan);
    header->addWidget(m_reportButton);

    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("message"));
    m_message->setFont(PointFont(m_message, kHeaderPointSize - 4, false));
    m_message->setWordWrap(true);

    m_storeBanner = new QLabel(this);
    m_storeBanner->setObjectName(QStringLiteral("storeBanner"));
    m_storeBanner->setFont(PointFont(m_storeBanner, kHeaderPointSize - 2, true));
    m_storeBanner->setWordWrap(true);
    m_storeBanner->setStyleSheet(QStringLiteral("background: #f5c542; padding: 6px;"));
    m_storeBanner->hide();

    // The tiles scroll when their rows are taller than the screen leaves
    // them, so no slot is ever out of reach.
    auto* tileArea = new QScrollArea(this);
    tileArea->setObjectName(QStringLiteral("tileArea"));
    tileArea->setWidgetResizable(true);
    tileArea->setFrameShape(QFrame::NoFrame);
    auto* tileSheet = new QWidget(tileArea);
    auto* grid = new QGridLayout(tileSheet);
    grid->setContentsMargins(0, 0, 0, 0);
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        auto* tile = new CStationTile(ToQString(m_slots[i].name), tileSheet);
        m_tiles.push_back(tile);
        grid->addWidget(tile, static_cast<int>(i) / kTilesPerRow,
                        static_cast<int>(i) % kTilesPerRow);
    }
    // Tiles of one width, whatever their texts.
    for (int c = 0; c < std::min<int>(kTilesPerRow, static_cast<int>(m_slots.size())); ++c)
        grid->setColumnStretch(c, 1);
    tileArea->setWidget(tileSheet);

    auto* counters = new QHBoxLayout;
    const std::pair<QLabel**, const char*> counterLabels[] = {{&m_passed, "passedCount"},
                                                              {&m_failed, "failedCount"},
                                                              {&m_yield, "firstPassYield"},
                                                              {&m_refused, "refusedCount"},
                                                              {&m_cycle, "meanCycle"}};
    for (const auto& [label, name] : counterLabels) {
        *label = new QLabel(this);
        (*label)->setObjectName(QLatin1String(name));
        (*label)->setFont(PointFont(*label, kCounterPointSize, true));
        counters->addWidget(*label);
    }
    counters->addStretch(1);
    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("recordSearch"));
    m_search->setPlaceholderText(ToQString(kTextSearchSerialHint));
    m_search->setClearButtonEnabled(true);
    m_search->setMinimumWidth(kSearchMinWidth);
    counters->addWidget(m_search);

    m_records = new QTreeWidget(this);
    m_records->setObjectName(QStringLiteral("records"));
    m_records->setColumnCount(kColumnCount);
    m_records->setHeaderLabels({ToQString(kTextColumnTime), ToQString(kTextColumnSlot),
                                ToQString(kTextColumnSerial), ToQString(kTextColumnResult),
                                ToQString(kTextColumnReason)});
    m_records->setRootIsDecorated(false);
    m_records->setUniformRowHeights(true);
    m_records->setFont(PointFont(m_records, kHeaderPointSize - 6, false));
    m_records->header()->setStretchLastSection(true);
    m_detail = new QPlainTextEdit(this);
    m_detail->setObjectName(QStringLiteral("recordDetail"));
    m_detail->setReadOnly(true);
    m_detail->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_detail->setPlaceholderText(ToQString(kTextDetailHint));
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(m_records);
    split->addWidget(m_detail);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setMinimumHeight(kRecordsMinHeight);

    auto* column = new QVBoxLayout(this);
    column->addLayout(header);
    column->addWidget(m_message);
    column->addWidget(m_storeBanner);
    column->addWidget(tileArea, 3);
    column->addLayout(counters);
    column->addWidget(split, 2);

    ConnectSignals();
    StartUp();
}

void CStationWindow::ConnectSignals() {
    connect(m_scan, &QLineEdit::returnPressed, this, [this] {
        const QString text = m_scan->text();
        m_scan->clear();
        OnScan(text);
    });
    connect(m_reportButton, &QPushButton::clicked, this, [this] { OnShiftReport(); });
    for (std::size_t i = 0; i < m_tiles.size(); ++i)
        connect(m_tiles[i], &CStationTile::reworkAsked, this, [this, i] { OnRework(i); });
    connect(m_search, &QLineEdit::returnPressed, this, [this] { Search(m_search->text()); });
    connect(m_search, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.trimmed().isEmpty())
            Search(QString());
    });
    connect(m_records, &QTreeWidget::currentItemChanged, this, [this] { ShowDetail(); });
}

void CStationWindow::StartUp() {
    LoadLatest();
    ShowRecords();
    ShowCounters();
    for (std::size_t i = 0; i < m_tiles.size(); ++i)
        ShowTile(i);

    // Posted calls still queued when the window goes die with it.
    m_store->SetStatusHook([this](const StoreStatus& status) {
        QMetaObject::invokeMethod(
            this, [this, status] { ShowStoreStatus(status); }, Qt::QueuedConnection);
    });

    m_clock = new QTimer(this);
    connect(m_clock, &QTimer::timeout, this, [this] {
        for (std::size_t i = 0; i < m_tiles.size(); ++i) {
            if (m_board.Tiles()[i].state == TileState::Running)
                ShowTile(i);
        }
    });
    m_clock->start(kClockTickMs);

    ShowRecipe();
    m_scan->setFocus(Qt::OtherFocusReason);
    // Started once the constructor's caller can connect to groupStarted.
    QTimer::singleShot(0, this, &CStationWindow::StartGroup);
}

CStationWindow::~CStationWindow() {
    m_store->SetStatusHook(nullptr);
    // Every job off the GUI thread ends before what it uses (the store, the
    // group) goes; their continuations die unrun.
    m_work.JoinAll();
    // The group calls the forwarder, which posts to this window: it must end
    // before either goes. Posted calls still queued die with the window.
    if (m_group) {
        m_group->Stop();
        m_group->Stop();
        m_group->Wait();
    }
    m_group.reset();
}

void CStationWindow::StartGroup() {
    if (m_group || m_stopping || m_closeAgreed)
        return;
    m_group = std::make_unique<CStationGroup>(m_source->recipe, *m_store, *m_forwarder, m_options,
                                              m_slots);
    m_group->SetBoxesLeft(std::exchange(m_boxesLeft, {}));
    std::string error;
    if (!m_group->Start(error)) {
        m_group.reset();
        Say(ToQString(kTextCannotStart) + ToQString(error), true);
        emit groupStarted(false);
        return;
    }
    emit groupStarted(true);
}

void CStationWindow::StopGroupThen(bool abort, std::function<void()> then) {
    if (!m_group) {
        then();
        return;
    }
    m_stopping = true;
    // The first request ends idle slots and lets a running unit finish; the
    // second makes a running unit stop at its next request (aborted).
    const CStation::StopEffect effect = m_group->Stop();
    if (abort && effect != CStation::StopEffect::EndsNow) {
        m_group->Stop();
        Say(ToQString(kTextAbortingUnits), false);
    }
    CStationGroup* group = m_group.get();
    try {
        m_work.Start(kLaneWaiter, [this, group, then]() -> std::function<void()> {
            group->Wait();
            return [this, then] { OnWaiterDone(then); };
        });
    } catch (const std::system_error&) {
        // No thread to be had: wait here rather than leave the group running.
        group->Wait();
        OnWaiterDone(then);
    }
}

void CStationWindow::OnWaiterDone(std::function<void()> then) {
    m_group.reset();
    m_stopping = false;
    then();
}

bool CStationWindow::AnyUnitRunning() const {
    return (m_group && m_group->AnyUnitRunning()) || m_board.AnyRunning();
}

bool CStationWindow::ConfirmAbort(const QString& question) {
    return !AnyUnitRunning() || AskYesNo(question);
}

bool CStationWindow::AskYesNo(const QString& question) {
    QMessageBox box(QMessageBox::Warning, windowTitle(), question, QMessageBox::NoButton, this);
    QPushButton* yes = box.addButton(ToQString(kAnswerYes), QMessageBox::YesRole);
    QPushButton* no = box.addButton(ToQString(kAnswerNo), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

void CStationWindow::closeEvent(QCloseEvent* event) {
    if (m_closeAgreed && !m_group && !m_stopping) {
        event->accept();
        return;
    }
    event->ignore();
    if (m_stopping)
        return;  // a stop is under way; the close follows it when agreed
    if (!ConfirmAbort(ToQString(kTextCloseQuestion)))
        return;
    m_closeAgreed = true;
    Say(ToQString(kTextStoppingStation), false);
    StopGroupThen(true, [this] { close(); });
}

void CStationWindow::OnScan(const QString& text) {
    if (m_stopping || m_closeAgreed)
        return;
    if (m_work.Busy(kLaneScan)) {
        Say(ToQString(kTextScanBusy), true);
        return;
    }
    // The lookup checks every bundle and asks the store about rollback: off
    // the GUI thread, on values of its own.
    const std::string variant = text.toStdString();
    const RunningSource running = RunningSourceOf(*m_source);
    IRecordStore* store = m_store.get();
    Say(ToQString(kTextLookingUp).arg(text), false);
    try {
        m_work.Start(kLaneScan,
                     [this, lookup = m_lookup, store, variant, running]() -> std::function<void()> {
                         ScanAnswer answer = LookUpScan(lookup, *store, variant, running,
                                                        std::chrono::system_clock::now());
                         return [this, answer] { OnScanLookedUp(answer); };
                     });
    } catch (const std::system_error& e) {
        Say(ToQString(kTextScanFailed) + QString::fromLocal8Bit(e.what()), true);
    }
}

void CStationWindow::OnScanLookedUp(const ScanAnswer& answer) {
    switch (DecideScan(answer.found, {m_stopping, m_closeAgreed, AnyUnitRunning()})) {
        case ScanDecision::Ignore:
            return;
        case ScanDecision::SayNotFound:
            Say(ToQString(answer.error), true);
            return;
        case ScanDecision::SaySameRecipe:
            Say(ToQString(kTextSameRecipe) + ToQString(answer.next->recipe.variant), false);
            return;
        case ScanDecision::SayRollback:
            Say(ToQString(kTextRollbackRefused) + ToQString(answer.error), true);
            return;
        case ScanDecision::AskThenSwitch:
            if (!AskYesNo(
                    ToQString(kTextSwitchQuestion).arg(ToQString(answer.next->recipe.variant))))
                return;
            break;
        case ScanDecision::Switch:
            break;
    }
    SwitchTo(answer.next);
}

void CStationWindow::SwitchTo(std::shared_ptr<StationSource> next) {
    StopGroupThen(true, [this, next] {
        // The old group is gone, so nothing refers to the old source now.
        m_source = std::make_unique<StationSource>(std::move(*next));
        m_options.release = m_source->release;
        // A box that ended its unit and is still in its slot is not taken
        // by the new recipe: only one placed after the switch is.
        for (const StationTile& tile : m_board.Tiles()) {
            if (tile.state != TileState::Waiting && tile.state != TileState::Running &&
                !tile.removed && !tile.serial.empty())
                m_boxesLeft[tile.slot] = tile.serial;
        }
        ShowRecipe();
        Say(ToQString(kTextSwitched) + ToQString(m_source->recipe.variant), false);
        StartGroup();
    });
}

void CStationWindow::OnRework(std::size_t index) {
    const StationTile& tile = m_board.Tiles().at(index);
    if (!m_group || m_stopping || tile.state != TileState::Refused || tile.removed)
        return;
    const std::string serial = tile.serial;
    if (!AskYesNo(ToQString(kTextReworkQuestionBefore) + ToQString(serial) +
                  ToQString(kTextReworkQuestionAfter)))
        return;
    // The answer may have come after the box went or the group stopped.
    if (m_group && !m_stopping)
        m_group->RequestRework(index, serial);
}

void CStationWindow::OnShiftReport() {
    if (m_work.Busy(kLaneReport))
        return;
    const auto now = std::chrono::system_clock::now();
    const std::string path = ShiftReportPath(m_report.folder, now, m_report.shifts);
    IRecordStore* store = m_store.get();
    m_reportButton->setEnabled(false);
    try {
        m_work.Start(kLaneReport,
                     [this, store, now, shifts = m_report.shifts, path]() -> std::function<void()> {
                         std::string error;
                         const bool written = WriteShiftReport(*store, now, shifts, path, error);
                         return
                             [this, path, written, error] { OnReportDone(path, written, error); };
                     });
    } catch (const std::system_error& e) {
        OnReportDone(path, false, e.what());
    }
}

void CStationWindow::OnReportDone(const std::string& path, bool written, const std::string& error) {
    m_reportButton->setEnabled(true);
    const QString title = ToQString(kReportTitle);
    if (!written) {
        std::string why = FileWriteProblemHint(path);
        if (why.empty())
            why = kTextReportStoreOrDisk;
        QMessageBox box(QMessageBox::Warning, windowTitle(),
                        ToQString(kTextReportNotWritten).arg(title, ToQString(path)),
                        QMessageBox::NoButton, this);
        box.setInformativeText(ToQString(why));
        box.setDetailedText(ToQString(error));
        box.setDefaultButton(box.addButton(ToQString(kAnswerOk), QMessageBox::AcceptRole));
        box.exec();
        return;
    }
    const QString said = ToQString(kTextReportWritten).arg(title, ToQString(path));
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(ToQString(path))))
        Say(said, false);
    else
        Say(said + QStringLiteral("\n") + ToQString(kTextReportNotOpened), true);
}

void CStationWindow::ShowEvent(const KeptStationEvent& kept) {
    const StationEvent& e = kept.event;
    const int tile = m_board.Apply(kept, SteadyNowMs());
    if (tile >= 0)
        ShowTile(static_cast<std::size_t>(tile));
    if (e.kind == StationEventKind::UnitEnd) {
        ShowCounters();
        // A new record of the serial searched for joins the search's list.
        if (!m_searchSerial.isEmpty() && kept.record &&
            ToQString(kept.record->serial).compare(m_searchSerial, Qt::CaseInsensitive) == 0)
            Search(m_searchSerial);
        ShowRecords();
    }
    if (e.kind == StationEventKind::Notice)
        Say((e.slot.empty() ? QString() : ToQString(e.slot) + QStringLiteral(": ")) +
                ToQString(e.text),
            false);
    emit eventShown();
}

void CStationWindow::ShowTile(std::size_t index) {
    m_tiles[index]->Show(m_board.Tiles()[index], m_board.ElapsedMs(index, SteadyNowMs()));
}

void CStationWindow::ShowCounters() {
    const ShiftCounters& c = m_board.Counters();
    m_passed->setText(ToQString(kTextPassedCount).arg(c.passed));
    m_failed->setText(ToQString(kTextFailedCount).arg(c.failed));
    m_refused->setText(ToQString(kTextRefusedCount) + QString::number(c.refused));
    const std::optional<double> yield = c.FirstPassYield();
    m_yield->setText(ToQString(kTextYield)
                         .arg(yield ? QStringLiteral("%1%").arg(*yield * 100.0, 0, 'f', 1)
                                    : ToQString(kTextNoFigure)));
    const std::optional<double> cycle = c.MeanCycleSeconds();
    m_cycle->setText(
        ToQString(kTextMeanCycle)
            .arg(cycle ? QStringLiteral("%1 s").arg(*cycle, 0, 'f', 1) : ToQString(kTextNoFigure)));
}

void CStationWindow::Search(const QString& serial) {
    const QString wanted = serial.trimmed().toUpper();
    if (wanted.isEmpty()) {
        m_searchSerial.clear();
        m_found.reset();
        m_nextSearch.reset();
        ShowRecords();
        return;
    }
    m_searchSerial = wanted;
    if (m_work.Busy(kLaneSearch)) {
        m_nextSearch = wanted;
        return;
    }
    IRecordStore* store = m_store.get();
    const std::string text = wanted.toStdString();
    try {
        m_work.Start(kLaneSearch, [this, store, wanted, text]() -> std::function<void()> {
            RecordFilter filter;
            filter.serial = text;
            std::vector<UnitRecord> records;
            std::string error;
            const bool ok = store->List(filter, records, error);
            return [this, wanted, ok, records = std::move(records), error]() mutable {
                OnSearchDone(wanted, ok, std::move(records), error);
            };
        });
    } catch (const std::system_error& e) {
        Say(ToQString(kTextSearchFailed) + QString::fromLocal8Bit(e.what()), true);
    }
}

void CStationWindow::OnSearchDone(const QString& serial, bool ok, std::vector<UnitRecord> records,
                                  const std::string& error) {
    if (m_nextSearch) {
        const QString next = *std::exchange(m_nextSearch, std::nullopt);
        if (next == m_searchSerial) {
            Search(next);
            return;
        }
    }
    // The field was cleared or changed meanwhile: this answer is stale.
    if (serial != m_searchSerial)
        return;
    if (!ok) {
        Say(ToQString(kTextSearchFailed) + ToQString(error), true);
        return;
    }
    if (records.empty())
        Say(ToQString(kTextSearchNothing) + serial, false);
    m_found.emplace(std::make_move_iterator(records.begin()),
                    std::make_move_iterator(records.end()));
    ShowRecords();
}

void CStationWindow::LoadLatest() {
    IRecordStore* store = m_store.get();
    try {
        m_work.Start(kLaneLatest, [this, store]() -> std::function<void()> {
            RecordFilter latest;
            latest.limit = kBoardRecords;
            std::vector<UnitRecord> records;
            std::string error;
            const bool ok = store->List(latest, records, error);
            return [this, ok, records = std::move(records), error] {
                if (!ok) {
                    Say(ToQString(error), true);
                    return;
                }
                m_board.SetLatest(records);
                ShowRecords();
            };
        });
    } catch (const std::system_error& e) {
        Say(ToQString(kTextSearchFailed) + QString::fromLocal8Bit(e.what()), true);
    }
}

const std::deque<UnitRecord>& CStationWindow::ShownRecords() const {
    return m_found ? *m_found : m_board.Latest();
}

void CStationWindow::ShowRecords() {
    const QString selected = m_records->currentItem() != nullptr
                                 ? m_records->currentItem()->data(0, Qt::UserRole).toString()
                                 : QString();
    m_records->clear();
    QTreeWidgetItem* reselect = nullptr;
    for (const UnitRecord& r : ShownRecords()) {
        const QString reason = r.result == UnitResult::Pass
                                   ? QString()
                                   : ToQString(StepWords(r.failedStep)) + QStringLiteral(": ") +
                                         ToQString(ReasonWords(r.reasonCode));
        auto* item = new QTreeWidgetItem(
            m_records, {ToQString(LocalTimeText(r.startTime, false)), ToQString(r.slot),
                        ToQString(r.serial), ResultText(r.result), reason});
        item->setData(0, Qt::UserRole, ToQString(r.id));
        item->setForeground(kColResult, r.result == UnitResult::Pass ? QColor(0x1b, 0x5e, 0x20)
                                                                     : QColor(0xb7, 0x1c, 0x1c));
        if (!selected.isEmpty() && ToQString(r.id) == selected)
            reselect = item;
    }
    for (int c = 0; c < kColReason; ++c)
        m_records->resizeColumnToContents(c);
    if (reselect != nullptr)
        m_records->setCurrentItem(reselect);
}

void CStationWindow::ShowDetail() {
    QTreeWidgetItem* item = m_records->currentItem();
    if (item == nullptr) {
        m_detail->clear();
        return;
    }
    const std::string id = item->data(0, Qt::UserRole).toString().toStdString();
    for (const UnitRecord& r : ShownRecords()) {
        if (r.id == id) {
            m_detail->setPlainText(ToQString(RecordDetailText(r)));
            return;
        }
    }
}

void CStationWindow::ShowRecipe() {
    const Recipe& recipe = m_source->recipe;
    setWindowTitle(ToQString(kTextWindowTitle).arg(ToQString(recipe.variant)));
    m_recipeLabel->setText(
        ToQString(kTextRecipeLine).arg(ToQString(recipe.name), ToQString(recipe.variant)) +
        (m_source->release ? ToQString(kTextReleaseNumber).arg(m_source->release->number)
                           : QString()));
}

void CStationWindow::ShowStoreStatus(const StoreStatus& status) {
    m_storeBanner->setVisible(status.away);
    m_storeBanner->setText(ToQString(StoreStatusWords(status)));
}

void CStationWindow::Say(const QString& text, bool problem) {
    m_message->setStyleSheet(problem ? QStringLiteral("color: #b71c1c; font-weight: bold;")
                                     : QString());
    m_message->setText(text);
}
