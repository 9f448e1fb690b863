#include "records/record_time.h"

#include <time.h>

#include <cstdio>
#include <ctime>
#include <regex>

std::string RecordTimeText(std::chrono::system_clock::time_point when) {
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(millis / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[64];  // room for any int the fields could hold, to please the compiler
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(millis % 1000));
    return text;
}

bool RecordTimePoint(const std::string& text, std::chrono::system_clock::time_point& when) {
    static const std::regex kStored(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)");
    if (!std::regex_match(text, kStored))
        return false;
    std::tm utc{};
    int millis = 0;
    std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d.%3dZ", &utc.tm_year, &utc.tm_mon,
                &utc.tm_mday, &utc.tm_hour, &utc.tm_min, &utc.tm_sec, &millis);
    utc.tm_year -= 1900;
    utc.tm_mon -= 1;
    // The clock counts nanoseconds: a year past 2262 (a damaged row) would
    // overflow it, so such a time is no stored time.
    using std::chrono::seconds;
    using std::chrono::system_clock;
    const std::time_t at = timegm(&utc);
    const auto limit =
        std::chrono::duration_cast<seconds>(system_clock::time_point::max().time_since_epoch());
    if (at <= -limit.count() || at >= limit.count())
        return false;
    when = system_clock::from_time_t(at) + std::chrono::milliseconds(millis);
    return true;
}

bool ParseRecordTime(const std::string& text, std::string& bound) {
    static const std::regex kSince(
        R"(\d{4}-(0[1-9]|1[0-2])-(0[1-9]|[12]\d|3[01])(T([01]\d|2[0-3]):[0-5]\d(:[0-5]\d(\.\d{1,9})?)?)?Z?)");
    if (!std::regex_match(text, kSince))
        return false;
    bound = text.ends_with('Z') ? text.substr(0, text.size() - 1) : text;
    return true;
}

std::tm LocalCalendar(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr)
        return std::tm{};
    return local;
}

std::chrono::system_clock::time_point LocalInstant(std::tm local) {
    local.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(mktime(&local));
}
