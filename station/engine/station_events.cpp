#include "station/engine/station_events.h"

#include <chrono>

#include "records/record_time.h"

namespace {

std::string Word(const std::string& text) {
    if (text.empty())
        return "-";
    std::string word = text;
    for (char& c : word) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r')
            c = '_';
    }
    return word;
}

}  // namespace

std::string ResultLine(const UnitRecord& record) {
    if (record.result == UnitResult::Pass) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", UnitSeconds(record));
        return "PASS " + Word(record.serial) + " " + Word(record.variant) + " " + seconds;
    }
    return "FAIL " + Word(record.serial) + " " + Word(record.failedStep) + " " +
           Word(record.reasonCode);
}
