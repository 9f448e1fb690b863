#include "records/report/report_shifts.h"

#include <cstdio>
#include <regex>

#include "records/record_time.h"

namespace {

constexpr int kMinutesPerDay = 24 * 60;
constexpr std::size_t kMaxShifts = 24;

using SystemClock = std::chrono::system_clock;

// The instant of `minutes` after the local midnight of the day `day` (a
// local broken-down date; its time fields are ignored), daylight saving time
// and day overflow resolved.
SystemClock::time_point InstantInDay(std::tm day, int minutes) {
    day.tm_hour = minutes / 60;
    day.tm_min = minutes % 60;
    day.tm_sec = 0;
    return LocalInstant(day);
}

std::string ClockText(int minutes) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", minutes / 60 % 24, minutes % 60);
    return text;
}

}  // namespace

bool ParseShiftSchedule(const std::string& text, ShiftSchedule& schedule, std::string& error) {
    static const std::regex kTime(R"(([01]\d|2[0-3]):([0-5]\d))");
    ShiftSchedule read;
    read.startMinutes.clear();
    std::size_t from = 0;
    while (from <= text.size()) {
        const std::size_t comma = std::min(text.find(',', from), text.size());
        const std::string item = text.substr(from, comma - from);
        std::smatch match;
        if (!std::regex_match(item, match, kTime)) {
            error = "bad shift start '" + item + "': give HH:MM,HH:MM,... (local time)";
            return false;
        }
        const int minutes = std::stoi(match[1]) * 60 + std::stoi(match[2]);
        if (!read.startMinutes.empty() && minutes <= read.startMinutes.back()) {
            error = "shift starts must ascend within the day: '" + text + "'";
            return false;
        }
        read.startMinutes.push_back(minutes);
        from = comma + 1;
    }
    if (read.startMinutes.size() > kMaxShifts) {
        error = "at most 24 shifts a day";
        return false;
    }
    schedule = read;
    return true;
}

ShiftSpan ShiftOf(const ShiftSchedule& schedule, SystemClock::time_point when) {
    const std::tm local = LocalCalendar(when);
    const int minute = local.tm_hour * 60 + local.tm_min;
    const std::vector<int>& starts = schedule.startMinutes;
    // Before the day's first start: the previous day's last shift.
    std::tm day = local;
    std::size_t index = starts.size() - 1;
    if (minute < starts.front()) {
        day.tm_mday -= 1;
    } else {
        while (starts[index] > minute)
            --index;
    }
    const int startMinute = starts[index];
    const int endMinute =
        index + 1 < starts.size() ? starts[index + 1] : starts.front() + kMinutesPerDay;
    ShiftSpan span;
    span.start = InstantInDay(day, startMinute);
    span.end = InstantInDay(day, endMinute);
    const std::tm startDay = LocalCalendar(span.start);
    char label[96];
    std::snprintf(label, sizeof label, "%04d-%02d-%02d %s-%s", startDay.tm_year + 1900,
                  startDay.tm_mon + 1, startDay.tm_mday, ClockText(startMinute).c_str(),
                  ClockText(endMinute).c_str());
    span.label = label;
    return span;
}

std::string LocalTimeText(SystemClock::time_point when) {
    const std::tm local = LocalCalendar(when);
    char text[64];  // room for any int the fields could hold, to please the compiler
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min);
    return text;
}
