#include "records/report/report_html.h"

#include "records/record_time.h"
#include "records/record_words.h"
#include "records/report/html_text.h"
#include "records/report/svg_chart.h"
#include "res/report_texts.h"

namespace {

using SystemClock = std::chrono::system_clock;

// Nothing outside the page: styles only inline, pictures only as data.
constexpr char kHead[] = R"(<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta charset="utf-8">
<meta http-equiv="Content-Security-Policy" content="default-src 'none'; style-src 'unsafe-inline'; img-src data:">
<meta name="viewport" content="width=device-width">
)";

// Fonts the system has; none is fetched.
constexpr char kStyle[] = R"(<style>
@page { size: A4; margin: 12mm; }
body { font-family: "WenQuanYi Micro Hei", "Noto Sans CJK SC", "Source Han Sans SC", sans-serif;
       font-size: 10pt; color: #222; max-width: 186mm; margin: 0 auto; }
h1 { font-size: 16pt; margin: 0 0 4pt; }
h2 { font-size: 12pt; margin: 12pt 0 4pt; border-bottom: 1px solid #888; }
h3 { font-size: 10.5pt; margin: 8pt 0 2pt; }
p.meta { margin: 1pt 0; color: #444; }
p.warn { margin: 4pt 0; padding: 4pt; border: 1.5pt solid #b00; color: #b00; font-weight: bold; }
table { border-collapse: collapse; width: 100%; margin: 4pt 0; }
th, td { border: 1px solid #bbb; padding: 2pt 4pt; text-align: left; vertical-align: top; }
th { background: #eee; }
td.num { text-align: right; font-variant-numeric: tabular-nums; }
section { break-inside: avoid; page-break-inside: avoid; }
section.long { break-inside: auto; page-break-inside: auto; }
tr { break-inside: avoid; page-break-inside: avoid; }
svg.chart { width: 100%; height: auto; display: block; }
svg .bar { fill: #4a7ab5; }
svg .line { fill: none; stroke: #d08020; stroke-width: 1.5; }
svg .point { fill: #d08020; }
svg .point.out { fill: #c62828; stroke: #000; stroke-width: 0.5; }
svg .mean { stroke: #2e7d32; stroke-width: 1.2; }
svg .limit { stroke: #c62828; stroke-width: 1; stroke-dasharray: 4 3; }
svg .grid { stroke: #ddd; stroke-width: 0.5; }
svg .axis { stroke: #555; stroke-width: 1; }
svg text { font-size: 9px; fill: #333; }
svg text.caption { font-size: 10px; fill: #000; }
td.diff { white-space: pre-line; }
</style>
</head>
<body>
)";

std::string Cell(const std::string& text, const char* cls = nullptr) {
    return std::string("<td") + (cls != nullptr ? std::string(" class=\"") + cls + "\"" : "") +
           ">" + HtmlEscape(text) + "</td>";
}

std::string HeaderRow(std::initializer_list<const char*> names) {
    std::string row = "<tr>";
    for (const char* name : names)
        row += "<th>" + HtmlEscape(name) + "</th>";
    return row + "</tr>";
}

std::string Percent(const std::optional<double>& share) {
    return share ? FormatNumber("%.1f%%", *share * 100) : "-";
}

std::string Seconds(const std::optional<double>& seconds) {
    return seconds ? FormatNumber("%.1f s", *seconds) : "-";
}

// A stored time, local; as it is when it can't be read.
std::string Local(const std::string& stored) {
    SystemClock::time_point when;
    return RecordTimePoint(stored, when) ? LocalTimeText(when) : stored;
}

std::string OrWords(const std::string& name, const char* none) {
    return name.empty() ? none : name;
}

std::string HeadlineRow(const std::string& name, const ReportHeadline& h) {
    return "<tr>" + Cell(name) + Cell(std::to_string(h.units), "num") +
           Cell(std::to_string(h.passed), "num") + Cell(std::to_string(h.failed), "num") +
           Cell(std::to_string(h.aborted), "num") + Cell(Percent(h.firstPassYield), "num") +
           Cell(Seconds(h.meanCycleSeconds), "num") + Cell(Seconds(h.p95CycleSeconds), "num") +
           "</tr>";
}

std::string FilterText(const RecordFilter& filter) {
    std::string text;
    const auto add = [&](const char* name, const std::optional<std::string>& value) {
        if (value)
            text += (text.empty() ? "" : "; ") + std::string(name) + ": " + *value;
    };
    add(kReportFilterSince, filter.since);
    add(kReportFilterUntil, filter.until);
    add(kReportFilterSerial, filter.serial);
    add(kReportFilterVersion, filter.versionAfter);
    add(kReportFilterPackage, filter.packageSha256);
    add(kReportFilterRecipe, filter.recipeSha256);
    add(kReportFilterVariant, filter.variant);
    add(kReportFilterStation, filter.station);
    add(kReportFilterBundle, filter.bundleId);
    if (filter.releaseNumber)
        add(kReportFilterRelease, std::to_string(*filter.releaseNumber));
    add(kReportFilterSigner, filter.signerKeyId);
    if (filter.result)
        add(kReportFilterResult, std::string(ResultWords(*filter.result)));
    return text.empty() ? kReportFilterNone : text;
}

std::string Headline(const ReportFigures& f) {
    std::string out = "<section id=\"headline\"><h2>" + HtmlEscape(kReportHeadline) + "</h2>";
    out += "<table>" +
           HeaderRow({kReportShift, kReportUnits, kReportPassed, kReportFailed, kReportAborted,
                      kReportFirstPassYield, kReportMeanCycle, kReportP95Cycle});
    out += HeadlineRow(kReportWholePeriod, f.period);
    for (const ShiftHeadline& s : f.shifts)
        out += HeadlineRow(s.label, s.headline);
    return out + "</table></section>";
}

std::string PerTime(const ReportFigures& f) {
    SvgBarChart chart{"chart-hourly", {}, {}, kReportBarUnits, kReportLineYield};
    for (const TimeBin& bin : f.bins) {
        chart.bars.push_back(
            {bin.label, static_cast<double>(bin.units), std::to_string(bin.units)});
        chart.line.push_back(bin.firstPassYield);
    }
    return "<section id=\"hourly\"><h2>" +
           HtmlEscape(f.binsAreDays ? kReportPerDay : kReportPerHour) + "</h2>" +
           DrawBarChart(chart) + "</section>";
}

std::string ReasonLabel(const ParetoEntry& e) {
    return ReasonWords(e.reasonCode) + " / " + StepWords(e.failedStep);
}

std::string Pareto(const ReportFigures& f) {
    std::string out = "<section id=\"pareto\"><h2>" + HtmlEscape(kReportPareto) + "</h2>";
    if (f.pareto.empty())
        return out + "<p>" + HtmlEscape(kReportNoFailures) + "</p></section>";
    SvgBarChart chart{"chart-pareto", {}, {}, kReportCount, kReportLineCumulative};
    std::string table =
        "<table>" + HeaderRow({kReportReason, kReportStep, kReportCount, kReportCumulative});
    for (const ParetoEntry& e : f.pareto) {
        chart.bars.push_back(
            {ReasonLabel(e), static_cast<double>(e.count), std::to_string(e.count)});
        chart.line.push_back(e.cumulativeShare);
        table += "<tr>" + Cell(ReasonWords(e.reasonCode) + " (" + e.reasonCode + ")") +
                 Cell(StepWords(e.failedStep)) + Cell(std::to_string(e.count), "num") +
                 Cell(Percent(e.cumulativeShare), "num") + "</tr>";
    }
    return out + DrawBarChart(chart) + table + "</table></section>";
}

std::string FailureChart(const char* id, const char* title, const std::vector<FailureCount>& counts,
                         const char* none) {
    SvgBarChart chart{id, {}, {}, kReportFailed, ""};
    for (const FailureCount& c : counts) {
        chart.bars.push_back({OrWords(c.name, none), static_cast<double>(c.failures),
                              std::to_string(c.failures) + "/" + std::to_string(c.units)});
    }
    return "<h3>" + HtmlEscape(title) + "</h3>" + DrawBarChart(chart);
}

std::string Failures(const ReportFigures& f) {
    return "<section id=\"failures\"><h2>" + HtmlEscape(kReportPerSlot) + "</h2>" +
           FailureChart("chart-slots", kReportSlot, f.slots, kReportNoSlot) +
           FailureChart("chart-adapters", kReportPerAdapter, f.adapters, kReportNoAdapter) +
           "</section>";
}

std::string Cycles(const ReportFigures& f) {
    std::string out = "<section id=\"cycles\" class=\"long\"><h2>" +
                      HtmlEscape(kReportCycleCharts) + "</h2><p class=\"meta\">" +
                      HtmlEscape(kReportCycleLegend) + "</p>";
    int index = 0;
    for (const CycleRun& run : f.cycles) {
        SvgRunChart chart;
        chart.id = "chart-cycle-" + std::to_string(index++);
        int outside = 0;
        for (const CyclePoint& p : run.points) {
            chart.values.push_back(p.seconds);
            chart.outside.push_back(p.outside);
            outside += p.outside ? 1 : 0;
        }
        chart.mean = run.mean;
        chart.upper = run.Upper();
        chart.lower = run.Lower();
        chart.meanLabel = kReportMean + FormatNumber(" %.1f", run.mean);
        chart.upperLabel = kReportUpperLimit + FormatNumber(" %.1f", run.Upper());
        chart.lowerLabel = kReportLowerLimit + FormatNumber(" %.1f", run.Lower());
        chart.axis = kReportSeconds;
        out += "<section><h3>" +
               HtmlEscape(std::string(kReportSlot) + " " + OrWords(run.slot, kReportNoSlot)) +
               "</h3><p class=\"meta\">" +
               HtmlEscape(std::string(kReportUnits) + " " + std::to_string(run.points.size()) +
                          ", " + kReportMean + FormatNumber(" %.2f s", run.mean) + ", " +
                          kReportSigma + FormatNumber(" %.2f s", run.sigma) + ", " +
                          kReportOutside + " " + std::to_string(outside)) +
               "</p>" + DrawRunChart(chart) + "</section>";
    }
    return out + "</section>";
}

// A read-back difference list ("a: 应为 1, 读回 2; b: ...") one per line.
std::string DifferenceLines(const std::string& text) {
    std::string lines = text;
    for (std::size_t at = lines.find("; "); at != std::string::npos; at = lines.find("; ", at))
        lines.replace(at, 2, "\n");
    return lines;
}

std::string FailedUnits(const ReportFigures& f) {
    std::string out =
        "<section id=\"failed\" class=\"long\"><h2>" + HtmlEscape(kReportFailedUnits) + "</h2>";
    if (f.notPassed.empty())
        return out + "<p>" + HtmlEscape(kReportNoFailures) + "</p></section>";
    out += "<table>" + HeaderRow({kReportSerial, kReportTime, kReportSlot, kReportResult,
                                  kReportStep, kReportReason, kReportDifferences});
    for (const UnitRecord& r : f.notPassed) {
        out += "<tr>" + Cell(r.serial) + Cell(Local(r.startTime)) +
               Cell(OrWords(r.slot, kReportNoSlot)) + Cell(ResultWords(r.result)) +
               Cell(StepWords(r.failedStep)) + Cell(ReasonWords(r.reasonCode)) +
               Cell(DifferenceLines(r.reasonText), "diff") + "</tr>";
    }
    return out + "</table></section>";
}

}  // namespace

std::string RenderReportHtml(const ReportFigures& f, const ReportHeader& header) {
    std::string out = kHead;
    out += "<title>" + HtmlEscape(kReportTitle) + "</title>\n";
    out += kStyle;
    out += "<h1>" + HtmlEscape(kReportTitle) + "</h1>";
    if (header.localOnly)
        out += "<p id=\"local-only\" class=\"warn\">" + HtmlEscape(kReportLocalOnly) + "</p>";
    const std::string period = f.firstStart.empty()
                                   ? std::string(kReportPeriodAll)
                                   : Local(f.firstStart) + " - " + Local(f.lastStart);
    out += "<p class=\"meta\">" +
           HtmlEscape(std::string(kReportPeriod) + ": " + period + " (" + kReportTimeZone + ")") +
           "</p>";
    out += "<p class=\"meta\">" +
           HtmlEscape(std::string(kReportFilters) + ": " + FilterText(header.filter)) + "</p>";
    out +=
        "<p class=\"meta\">" + HtmlEscape(std::string(kReportMade) + ": " + header.made) + "</p>";
    if (f.period.units == 0)
        return out + "<p>" + HtmlEscape(kReportNoUnits) + "</p></body></html>\n";
    out += Headline(f) + PerTime(f) + Pareto(f) + Failures(f) + Cycles(f) + FailedUnits(f);
    return out + "</body></html>\n";
}
