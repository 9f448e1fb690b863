#include "station/engine/station_events.h"

#include <time.h>

#include <cstdio>
#include <ctime>

namespace {

// Milliseconds since the epoch of "YYYY-MM-DDTHH:MM:SS.mmmZ"; -1 when not so.
long long ParseUtcMs(const std::string& text) {
    std::tm tm{};
    int ms = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3dZ", &tm.tm_year, &tm.tm_mon,
                    &tm.tm_mday, &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &ms) != 7) {
        return -1;
    }
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    return static_cast<long long>(timegm(&tm)) * 1000 + ms;
}

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

double UnitSeconds(const UnitRecord& record) {
    const long long start = ParseUtcMs(record.startTime);
    const long long end = ParseUtcMs(record.endTime);
    return start < 0 || end < start ? 0.0 : static_cast<double>(end - start) / 1000.0;
}

std::string ResultLine(const UnitRecord& record) {
    if (record.result == UnitResult::Pass) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", UnitSeconds(record));
        return "PASS " + Word(record.serial) + " " + Word(record.variant) + " " + seconds;
    }
    return "FAIL " + Word(record.serial) + " " + Word(record.failedStep) + " " +
           Word(record.reasonCode);
}
