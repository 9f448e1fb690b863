#pragma once
// The report's charts as inline SVG, drawn here: a bar chart with an
// optional line over it (a share 0..1 on a right-hand axis), and a run chart
// of values with a centre line and two control limits. Every mark carries a
// class a style sheet (and a test) can find: "bar", "line", "point" and, on
// a run chart, "point out" for a value beyond the limits, "mean" and
// "limit". All text is escaped. Sizes are CSS pixels; the chart scales to
// the page's width.

#include <optional>
#include <string>
#include <vector>

struct SvgBar {
    std::string label;  // under the bar
    double value = 0;
    std::string note;  // over the bar (the value as text, or more)
};

struct SvgBarChart {
    std::string id;
    std::vector<SvgBar> bars;
    // One share per bar (a point where set), joined by a line; empty for none.
    std::vector<std::optional<double>> line;
    std::string barAxis;   // what the bars count, beside the left axis
    std::string lineAxis;  // what the line shows, beside the right axis
};

struct SvgRunChart {
    std::string id;
    std::vector<double> values;  // in run order
    std::vector<bool> outside;   // per value: beyond the limits
    double mean = 0;
    double upper = 0;
    double lower = 0;
    std::string meanLabel;  // beside the lines, e.g. "均值 41.2"
    std::string upperLabel;
    std::string lowerLabel;
    std::string axis;  // the values' unit
};

std::string DrawBarChart(const SvgBarChart& chart);
std::string DrawRunChart(const SvgRunChart& chart);
