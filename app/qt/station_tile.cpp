#include "app/qt/station_tile.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/qt/to_qstring.h"
#include "records/record_words.h"
#include "res/station_texts.h"
#include "res/station_window_texts.h"

namespace {

// Point sizes chosen for a screen read from two metres: the state word is the
// largest thing on the tile, the slot name and serial next.
constexpr int kStatePointSize = 34;
constexpr int kNamePointSize = 24;
constexpr int kLinePointSize = 18;
constexpr int kIconPixels = 64;
// Four tiles side by side fit a screen 1280 pixels wide.
constexpr int kMinTileWidth = 260;
constexpr long long kMinuteMs = 60'000;

struct StateLook {
    const char* word;
    const char* background;  // tile
    const char* foreground;  // state word and icon
};

const StateLook& LookOf(TileState state) {
    static const StateLook kWaiting{kTextTileWaiting, "#eceff1", "#455a64"};
    static const StateLook kRunning{kTextTileRunning, "#e3f2fd", "#0d47a1"};
    static const StateLook kPassed{kTextResultPass, "#c8e6c9", "#1b5e20"};
    static const StateLook kFailed{kTextResultFail, "#ffcdd2", "#b71c1c"};
    static const StateLook kRefused{kTextRefusedState, "#ffe0b2", "#e65100"};
    switch (state) {
        case TileState::Waiting:
            return kWaiting;
        case TileState::Running:
            return kRunning;
        case TileState::Passed:
            return kPassed;
        case TileState::Failed:
            return kFailed;
        case TileState::Refused:
            return kRefused;
    }
    return kWaiting;
}

// A shape of its own per state: ring (waiting), triangle (running), tick
// (passed), cross (failed), warning triangle (refused).
QPixmap StateIcon(TileState state, const QColor& colour) {
    const qreal dpr = 2.0;
    QPixmap pixmap(static_cast<int>(kIconPixels * dpr), static_cast<int>(kIconPixels * dpr));
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(2, 2, kIconPixels - 4, kIconPixels - 4);
    QPen mark(Qt::white, kIconPixels / 9.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    const qreal s = kIconPixels;
    switch (state) {
        case TileState::Waiting:
            p.setPen(QPen(colour, s / 10.0));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(box.adjusted(s / 20, s / 20, -s / 20, -s / 20));
            p.setPen(QPen(colour, s / 12.0, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(s / 2, s / 2), QPointF(s / 2, s * 0.25));
            p.drawLine(QPointF(s / 2, s / 2), QPointF(s * 0.68, s / 2));
            return pixmap;
        case TileState::Running: {
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawEllipse(box);
            QPainterPath triangle;
            triangle.moveTo(s * 0.38, s * 0.28);
            triangle.lineTo(s * 0.74, s * 0.5);
            triangle.lineTo(s * 0.38, s * 0.72);
            triangle.closeSubpath();
            p.setBrush(Qt::white);
            p.drawPath(triangle);
            return pixmap;
        }
        case TileState::Passed:
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawEllipse(box);
            p.setPen(mark);
            p.drawPolyline(QPolygonF({QPointF(s * 0.27, s * 0.52), QPointF(s * 0.44, s * 0.69),
                                      QPointF(s * 0.74, s * 0.33)}));
            return pixmap;
        case TileState::Failed:
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawEllipse(box);
            p.setPen(mark);
            p.drawLine(QPointF(s * 0.32, s * 0.32), QPointF(s * 0.68, s * 0.68));
            p.drawLine(QPointF(s * 0.68, s * 0.32), QPointF(s * 0.32, s * 0.68));
            return pixmap;
        case TileState::Refused: {
            // A warning triangle with an exclamation mark.
            QPainterPath triangle;
            triangle.moveTo(s * 0.5, s * 0.06);
            triangle.lineTo(s * 0.96, s * 0.9);
            triangle.lineTo(s * 0.04, s * 0.9);
            triangle.closeSubpath();
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawPath(triangle);
            p.setPen(mark);
            p.drawLine(QPointF(s * 0.5, s * 0.35), QPointF(s * 0.5, s * 0.6));
            p.drawPoint(QPointF(s * 0.5, s * 0.76));
            return pixmap;
        }
    }
    return pixmap;
}

QLabel* MakeLabel(int pointSize, bool bold, QWidget* parent) {
    auto* label = new QLabel(parent);
    QFont font = label->font();
    font.setPointSize(pointSize);
    font.setBold(bold);
    label->setFont(font);
    return label;
}

QString ElapsedWords(long long ms) {
    if (ms < 0)
        return ToQString(kTextElapsedNone);
    // Tenths while a unit is short, minutes once it is long.
    if (ms < kMinuteMs)
        return ToQString(kTextElapsedSeconds).arg(static_cast<double>(ms) / 1000.0, 0, 'f', 1);
    const long long seconds = ms / 1000;
    return ToQString(kTextElapsedMinutes)
        .arg(seconds / 60)
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

CStationTile::CStationTile(const QString& slot, QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("stationTile"));
    setFrameShape(QFrame::StyledPanel);
    setMinimumWidth(kMinTileWidth);
    setAutoFillBackground(true);

    m_name = MakeLabel(kNamePointSize, true, this);
    m_name->setText(ToQString(kTextTileSlot) + slot);
    m_icon = new QLabel(this);
    m_icon->setFixedSize(kIconPixels, kIconPixels);
    m_stateText = MakeLabel(kStatePointSize, true, this);
    m_stateText->setObjectName(QStringLiteral("tileState"));
    m_detail = MakeLabel(kLinePointSize, false, this);
    m_detail->setObjectName(QStringLiteral("tileDetail"));
    m_detail->setWordWrap(true);
    // A long reason wraps instead of widening its tile.
    m_detail->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("tileProgress"));
    m_progress->setTextVisible(true);
    m_progress->setMinimumHeight(kLinePointSize * 2);
    QFont barFont = m_progress->font();
    barFont.setPointSize(kLinePointSize - 4);
    m_progress->setFont(barFont);
    m_serial = MakeLabel(kLinePointSize, true, this);
    m_serial->setObjectName(QStringLiteral("tileSerial"));
    m_rework = new QPushButton(ToQString(kTextReworkButton), this);
    m_rework->setObjectName(QStringLiteral("tileRework"));
    QFont buttonFont = m_rework->font();
    buttonFont.setPointSize(kLinePointSize - 2);
    m_rework->setFont(buttonFont);
    m_rework->setAutoDefault(false);
    connect(m_rework, &QPushButton::clicked, this, &CStationTile::reworkAsked);
    m_elapsed = MakeLabel(kLinePointSize, false, this);
    m_elapsed->setObjectName(QStringLiteral("tileElapsed"));

    auto* stateRow = new QHBoxLayout;
    stateRow->addWidget(m_icon);
    stateRow->addWidget(m_stateText, 1);
    auto* column = new QVBoxLayout(this);
    column->addWidget(m_name);
    column->addLayout(stateRow);
    column->addWidget(m_detail);
    column->addWidget(m_progress);
    column->addWidget(m_rework);
    column->addStretch(1);
    column->addWidget(m_serial);
    column->addWidget(m_elapsed);

    Show(StationTile{}, -1);
}

void CStationTile::Show(const StationTile& tile, long long elapsedMs) {
    m_state = tile.state;
    const StateLook& look = LookOf(tile.state);
    if (m_shownState != static_cast<int>(tile.state)) {
        m_shownState = static_cast<int>(tile.state);
        setStyleSheet(QStringLiteral("#stationTile { background: %1; border: 3px solid %2;"
                                     " border-radius: 8px; }")
                          .arg(QLatin1String(look.background), QLatin1String(look.foreground)));
        m_stateText->setStyleSheet(
            QStringLiteral("color: %1;").arg(QLatin1String(look.foreground)));
        m_icon->setPixmap(StateIcon(tile.state, QColor(QLatin1String(look.foreground))));
    }
    QString state = QString::fromUtf8(look.word);
    if (tile.state == TileState::Failed && tile.aborted)
        state += ToQString(kTextTileAborted);
    m_stateText->setText(state);

    QString detail;
    bool showBar = false;
    switch (tile.state) {
        case TileState::Waiting:
            detail = ToQString(kTextPlaceBox);
            break;
        case TileState::Running:
            detail = tile.step.empty() ? ToQString(kTextBoxConnected)
                                       : ToQString(kTextTileStep) + ToQString(StepWords(tile.step));
            if (tile.busy && tile.step == kStepFirmware)
                detail = ToQString(kTextApplyingUpdate);
            showBar = true;
            break;
        case TileState::Passed:
            detail = tile.removed ? ToQString(kTextBoxRemoved) : ToQString(kTextRemoveBox);
            break;
        case TileState::Refused:
            detail = ToQString(kTextRefusedHint);
            break;
        case TileState::Failed:
            detail = ToQString(StepWords(tile.failedStep)) + QStringLiteral(": ") +
                     ToQString(ReasonWords(tile.reasonCode));
            if (!tile.reasonText.empty() && tile.reasonText != ReasonWords(tile.reasonCode))
                detail += QStringLiteral("\n") + ToQString(tile.reasonText);
            break;
    }
    m_detail->setText(detail);
    // Rework needs the box, so only while it is still in the slot.
    m_rework->setVisible(tile.state == TileState::Refused && !tile.removed);
    m_progress->setVisible(showBar);
    if (showBar) {
        // A step that moves no bytes shows a busy bar.
        if (tile.progressTotal > 0) {
            m_progress->setRange(0, 100);
            m_progress->setValue(static_cast<int>(100 * tile.progressValue / tile.progressTotal));
        } else {
            m_progress->setRange(0, 0);
        }
    }
    m_serial->setText(ToQString(kTextTileSerial) +
                      (tile.serial.empty() ? ToQString(kTextNoFigure) : ToQString(tile.serial)));
    m_elapsed->setText(ElapsedWords(elapsedMs));
}
