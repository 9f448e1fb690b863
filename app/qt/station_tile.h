#pragma once
// CStationTile: one fixture slot on the station window, large enough to read
// from two metres: the slot's name, its state as an icon and a word (等待设备,
// 进行中, 合格, 不合格, 已合格 for a refused serial that passed, with a
// rework button), the step under way with a progress bar or the reason
// of a failure in words, the box's serial and the unit's time. Each state has
// its own icon shape and word, so the colour is never the only signal.
//
// Threads: the GUI thread only; it shows what CStationBoard holds.

#include <QFrame>

#include "station/board/station_board.h"

class QLabel;
class QProgressBar;
class QPushButton;

class CStationTile : public QFrame {
    Q_OBJECT
public:
    explicit CStationTile(const QString& slot, QWidget* parent = nullptr);

    // Shows `tile`; `elapsedMs` < 0 when no unit has run.
    void Show(const StationTile& tile, long long elapsedMs);

    TileState State() const { return m_state; }

signals:
    // The operator pressed the rework button (shown while a refused box is
    // still in the slot); the window asks before anything runs.
    void reworkAsked();

private:
    TileState m_state = TileState::Waiting;
    int m_shownState = -1;  // the look last applied, to skip restyling
    QLabel* m_name = nullptr;
    QLabel* m_icon = nullptr;
    QLabel* m_stateText = nullptr;
    QLabel* m_detail = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_rework = nullptr;
    QLabel* m_serial = nullptr;
    QLabel* m_elapsed = nullptr;
};
