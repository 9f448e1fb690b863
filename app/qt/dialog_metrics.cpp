#include "app/qt/dialog_metrics.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QString>
#include <QStringList>

#include "app/qt/to_qstring.h"

namespace {

// The letters whose average width is the horizontal base unit.
constexpr char kBaseUnitLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr int kBaseUnitLetterCount = 52;
// Dialog units per base unit: 4 across, 8 down.
constexpr int kUnitsPerBaseX = 4;
constexpr int kUnitsPerBaseY = 8;
// Smallest pixel size tried when fitting a fallback face: below it CJK text is
// no longer legible, so a face that needs less is used at this size.
constexpr int kSmallestPixelSize = 9;

// Other names under which the template's face may be installed.
const QStringList kTemplateFaceAliases = {"NSimSun"};
// CJK faces tried in turn when the template's face is missing.
const QStringList kFallbackFaces = {"WenQuanYi Micro Hei", "WenQuanYi Zen Hei",
                                    "Noto Sans CJK SC",    "Noto Sans SC",
                                    "Source Han Sans SC",  "Droid Sans Fallback"};

// x * numerator / denominator rounded half away from zero, so that a
// template's coordinates land on the same pixels whatever their sign.
int MulDiv(int x, int numerator, int denominator) {
    const long long p = static_cast<long long>(x) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(p >= 0 ? (p + half) / denominator : -((-p + half) / denominator));
}

bool IsInstalled(const QString& family) {
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

QString FindFallbackFace() {
    for (const QString& family : kFallbackFaces) {
        if (IsInstalled(family))
            return family;
    }
    const QStringList cjk = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    return cjk.isEmpty() ? QFont().family() : cjk.first();
}

}  // namespace

int DialogMetrics::X(int units) const {
    return MulDiv(units, baseX, kUnitsPerBaseX);
}

int DialogMetrics::Y(int units) const {
    return MulDiv(units, baseY, kUnitsPerBaseY);
}

QRect DialogMetrics::Rect(const DialogRect& r) const {
    return QRect(X(r.x), Y(r.y), X(r.cx), Y(r.cy));
}

QSize MeasureBaseUnits(const QFont& font) {
    const QFontMetrics fm(font);
    const int width = fm.horizontalAdvance(QString::fromLatin1(kBaseUnitLetters));
    // The average letter width in whole pixels, rounded half up in integer
    // steps: (width / 26 + 1) / 2.
    const int baseX = (width / (kBaseUnitLetterCount / 2) + 1) / 2;
    return QSize(baseX, fm.height());
}

DialogMetrics ChooseDialogMetrics(std::string_view face, int pointSize) {
    DialogMetrics m;
    QStringList templateFaces = kTemplateFaceAliases;
    templateFaces.prepend(ToQString(face));
    QString family;
    for (const QString& candidate : templateFaces) {
        if (IsInstalled(candidate)) {
            family = candidate;
            m.templateFace = true;
            break;
        }
    }
    if (family.isEmpty())
        family = FindFallbackFace();

    m.font = QFont(family, pointSize);
    const QSize measured = MeasureBaseUnits(m.font);
    if (m.templateFace && measured == QSize(kDesignBaseX, kDesignBaseY))
        return m;  // the template's own face at its own size: units as measured

    // Hold the design scale and take the largest size of the face, no larger
    // than the template's point size, whose letters fit it. (The template's
    // face lands here only on a screen where it measures otherwise, where the
    // fixed window sizes would no longer frame the panels.)
    int pixelSize = QFontInfo(m.font).pixelSize();
    for (; pixelSize > kSmallestPixelSize; --pixelSize) {
        QFont candidate = m.font;
        candidate.setPixelSize(pixelSize);
        const QSize base = MeasureBaseUnits(candidate);
        if (base.width() <= kDesignBaseX && base.height() <= kDesignBaseY)
            break;
    }
    m.font.setPixelSize(pixelSize);
    return m;
}
