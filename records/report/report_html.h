#pragma once
// The shift report as one self-contained HTML page: its style sheet inline,
// its charts inline SVG (svg_chart.h), no script, and a content security
// policy that lets the browser fetch nothing. Chinese, like the window;
// printed, it fits A4 pages. Every record text in it is escaped.

#include <string>

#include "records/record_store.h"
#include "records/report/report_figures.h"

struct ReportHeader {
    RecordFilter filter;  // what the records were chosen by
    std::string made;     // when the report was made, local ("2026-12-10 14:02")
    // The store's server did not answer: the records are only those waiting
    // on this PC, and the page says so at its top.
    bool localOnly = false;
};

std::string RenderReportHtml(const ReportFigures& figures, const ReportHeader& header);
