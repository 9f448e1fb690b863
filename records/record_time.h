#pragma once
// Times as the records keep them: UTC, ISO 8601, one format for all, so the
// stores compare them as text ("2026-12-10T13:45:12.345Z").

#include <chrono>
#include <ctime>
#include <string>

// `when` in the records' format, to the millisecond.
std::string RecordTimeText(std::chrono::system_clock::time_point when);

// Reads a stored time ("2026-12-10T13:45:12.345Z") into `when`. False for
// any other text; `when` is then unchanged.
bool RecordTimePoint(const std::string& text, std::chrono::system_clock::time_point& when);

// Reads a bound of a time range a user typed: a date "2026-12-10" or a UTC
// time "2026-12-10T13:45", with seconds and fractions optional and a "Z"
// allowed. Puts into `bound` the text that compares correctly with stored
// times (the "Z" dropped: a shorter prefix sorts first, so a stored time is
// >= the bound from that instant on and < it before). False for anything
// else; `bound` is then unchanged.
bool ParseRecordTime(const std::string& text, std::string& bound);

// Screens and reports show times in the machine's time zone (its TZ).

// `when` on the local calendar and clock. A time the calendar cannot hold
// (none the system clock can give) comes back zeroed.
std::tm LocalCalendar(std::chrono::system_clock::time_point when);

// The instant a local calendar time names: tm_isdst is ignored and daylight
// saving time worked out, and fields out of range carry over (day 0 is the
// last of the month before).
std::chrono::system_clock::time_point LocalInstant(std::tm local);
