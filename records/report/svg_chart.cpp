#include "records/report/svg_chart.h"

#include <algorithm>
#include <cmath>

#include "records/report/html_text.h"

namespace {

// The drawing area: an A4 page's text width at 96 dpi, less a little.
constexpr double kWidth = 680;
constexpr double kHeight = 230;
constexpr double kLeft = 52;
constexpr double kRight = 52;  // room for the right-hand axis
constexpr double kTop = 18;
constexpr double kBottom = 58;  // room for slanted labels
constexpr double kPlotWidth = kWidth - kLeft - kRight;
constexpr double kPlotHeight = kHeight - kTop - kBottom;
// Gridlines on the value axis.
constexpr int kTicks = 4;
// Beyond this many bars only every n-th label is written, so they stay legible.
constexpr std::size_t kMaxLabels = 24;
// Up to this many bars the labels stand level under them (a reason in words
// fits its slot); more are slanted.
constexpr std::size_t kMaxLevelLabels = 8;
constexpr double kBarFill = 0.7;  // of each bar's slot

// The least "round" number (1, 2 or 5 times a power of ten, times kTicks) at
// or above `value`, so the gridlines fall on round values.
double NiceTop(double value) {
    if (value <= 0)
        return kTicks;
    const double step = value / kTicks;
    const double power = std::pow(10.0, std::floor(std::log10(step)));
    for (const double m : {1.0, 2.0, 2.5, 5.0, 10.0}) {
        if (m * power >= step)
            return m * power * kTicks;
    }
    return 10 * power * kTicks;
}

std::string Num(double value) {
    return FormatNumber("%.1f", value);
}

std::string Open(const std::string& id) {
    return "<svg id=\"" + HtmlEscape(id) + "\" class=\"chart\" viewBox=\"0 0 " + Num(kWidth) + " " +
           Num(kHeight) + "\" role=\"img\">";
}

std::string Text(double x, double y, const std::string& text, const char* cls,
                 const std::string& extra = "") {
    return "<text class=\"" + std::string(cls) + "\" x=\"" + Num(x) + "\" y=\"" + Num(y) + "\"" +
           extra + ">" + HtmlEscape(text) + "</text>";
}

std::string Line(double x1, double y1, double x2, double y2, const char* cls) {
    return "<line class=\"" + std::string(cls) + "\" x1=\"" + Num(x1) + "\" y1=\"" + Num(y1) +
           "\" x2=\"" + Num(x2) + "\" y2=\"" + Num(y2) + "\"/>";
}

// Horizontal gridlines and their labels for values bottom..top, on the left
// (or on the right, for a share in percent).
std::string Grid(double bottom, double top, bool right, bool percent) {
    std::string out;
    for (int i = 0; i <= kTicks; ++i) {
        const double value = bottom + (top - bottom) * i / kTicks;
        const double y = kTop + kPlotHeight - kPlotHeight * i / kTicks;
        if (!right)
            out += Line(kLeft, y, kLeft + kPlotWidth, y, "grid");
        const std::string label =
            percent ? FormatNumber("%.0f%%", value * 100) : FormatNumber("%g", value);
        out += right ? Text(kLeft + kPlotWidth + 6, y + 4, label, "tick")
                     : Text(kLeft - 6, y + 4, label, "tick", " text-anchor=\"end\"");
    }
    return out;
}

std::string AxisCaptions(const std::string& left, const std::string& right) {
    std::string out = Text(kLeft, kTop - 6, left, "caption");
    if (!right.empty())
        out += Text(kLeft + kPlotWidth, kTop - 6, right, "caption", " text-anchor=\"end\"");
    return out;
}

std::string Polyline(const std::vector<std::pair<double, double>>& points) {
    std::string coordinates;
    for (const auto& [x, y] : points)
        coordinates += (coordinates.empty() ? "" : " ") + Num(x) + "," + Num(y);
    return "<polyline class=\"line\" points=\"" + coordinates + "\"/>";
}

}  // namespace

std::string DrawBarChart(const SvgBarChart& chart) {
    double highest = 0;
    for (const SvgBar& bar : chart.bars)
        highest = std::max(highest, bar.value);
    const double top = NiceTop(highest);
    const bool hasLine = !chart.line.empty();
    std::string out = Open(chart.id) + AxisCaptions(chart.barAxis, hasLine ? chart.lineAxis : "");
    out += Grid(0, top, false, false);
    if (hasLine)
        out += Grid(0, 1, true, true);

    const std::size_t n = chart.bars.size();
    const double slot = n == 0 ? kPlotWidth : kPlotWidth / static_cast<double>(n);
    const std::size_t labelEvery = n <= kMaxLabels ? 1 : (n + kMaxLabels - 1) / kMaxLabels;
    const double baseline = kTop + kPlotHeight;
    std::vector<std::pair<double, double>> linePoints;
    std::string points;
    for (std::size_t i = 0; i < n; ++i) {
        const SvgBar& bar = chart.bars[i];
        const double height = kPlotHeight * bar.value / top;
        const double x = kLeft + slot * static_cast<double>(i) + slot * (1 - kBarFill) / 2;
        const double centre = kLeft + slot * (static_cast<double>(i) + 0.5);
        out += "<rect class=\"bar\" x=\"" + Num(x) + "\" y=\"" + Num(baseline - height) +
               "\" width=\"" + Num(slot * kBarFill) + "\" height=\"" + Num(height) + "\"><title>" +
               HtmlEscape(bar.label + ": " + bar.note) + "</title></rect>";
        if (n <= kMaxLabels)
            out += Text(centre, baseline - height - 3, bar.note, "note", " text-anchor=\"middle\"");
        if (n <= kMaxLevelLabels) {
            out += Text(centre, baseline + 14, bar.label, "label", " text-anchor=\"middle\"");
        } else if (i % labelEvery == 0) {
            out += Text(centre, baseline + 12, bar.label, "label",
                        " text-anchor=\"end\" transform=\"rotate(-35 " + Num(centre) + " " +
                            Num(baseline + 12) + ")\"");
        }
        if (i < chart.line.size() && chart.line[i]) {
            const double y = baseline - kPlotHeight * std::clamp(*chart.line[i], 0.0, 1.0);
            linePoints.emplace_back(centre, y);
            points += "<circle class=\"point\" cx=\"" + Num(centre) + "\" cy=\"" + Num(y) +
                      "\" r=\"3\"><title>" +
                      HtmlEscape(bar.label + ": " + FormatNumber("%.1f%%", *chart.line[i] * 100)) +
                      "</title></circle>";
        }
    }
    out += Line(kLeft, baseline, kLeft + kPlotWidth, baseline, "axis");
    if (!linePoints.empty())
        out += Polyline(linePoints) + points;
    return out + "</svg>";
}

std::string DrawRunChart(const SvgRunChart& chart) {
    double low = std::min({0.0, chart.lower, chart.mean});
    double high = std::max(chart.upper, chart.mean);
    for (const double v : chart.values) {
        low = std::min(low, v);
        high = std::max(high, v);
    }
    const double top = NiceTop(high);
    const double bottom = low < 0 ? -NiceTop(-low) : 0;
    const auto yOf = [&](double v) {
        return kTop + kPlotHeight - kPlotHeight * (v - bottom) / (top - bottom);
    };
    std::string out = Open(chart.id) + AxisCaptions(chart.axis, "");
    out += Grid(bottom, top, false, false);

    const std::size_t n = chart.values.size();
    const double step = n <= 1 ? 0 : kPlotWidth / static_cast<double>(n - 1);
    const auto xOf = [&](std::size_t i) {
        return n <= 1 ? kLeft + kPlotWidth / 2 : kLeft + step * static_cast<double>(i);
    };
    const double right = kLeft + kPlotWidth;
    out += Line(kLeft, yOf(chart.mean), right, yOf(chart.mean), "mean") +
           Text(right + 4, yOf(chart.mean) + 4, chart.meanLabel, "tick");
    out += Line(kLeft, yOf(chart.upper), right, yOf(chart.upper), "limit") +
           Text(right + 4, yOf(chart.upper) + 4, chart.upperLabel, "tick");
    out += Line(kLeft, yOf(chart.lower), right, yOf(chart.lower), "limit") +
           Text(right + 4, yOf(chart.lower) + 4, chart.lowerLabel, "tick");

    std::vector<std::pair<double, double>> line;
    std::string points;
    for (std::size_t i = 0; i < n; ++i) {
        const bool beyond = i < chart.outside.size() && chart.outside[i];
        line.emplace_back(xOf(i), yOf(chart.values[i]));
        points += std::string("<circle class=\"") + (beyond ? "point out" : "point") + "\" cx=\"" +
                  Num(xOf(i)) + "\" cy=\"" + Num(yOf(chart.values[i])) + "\" r=\"" +
                  (beyond ? "4" : "2.5") + "\"><title>" +
                  HtmlEscape(FormatNumber("%.2f", chart.values[i])) + "</title></circle>";
    }
    if (n > 1)
        out += Polyline(line);
    return out + points + "</svg>";
}
