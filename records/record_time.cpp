#include "records/record_time.h"

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

bool ParseRecordTime(const std::string& text, std::string& bound) {
    static const std::regex kSince(
        R"(\d{4}-(0[1-9]|1[0-2])-(0[1-9]|[12]\d|3[01])(T([01]\d|2[0-3]):[0-5]\d(:[0-5]\d(\.\d{1,9})?)?)?Z?)");
    if (!std::regex_match(text, kSince))
        return false;
    bound = text.ends_with('Z') ? text.substr(0, text.size() - 1) : text;
    return true;
}
