#include "station/board/local_time.h"

#include <chrono>
#include <ctime>

#include "records/record_time.h"

std::string LocalTimeText(const std::string& stored, bool withYear) {
    std::chrono::system_clock::time_point when;
    if (!RecordTimePoint(stored, when))
        return stored;
    const std::tm local = LocalCalendar(when);
    char text[32];
    const std::size_t n =
        std::strftime(text, sizeof text, withYear ? "%Y-%m-%d %H:%M:%S" : "%m-%d %H:%M:%S", &local);
    return n == 0 ? stored : std::string(text, n);
}
