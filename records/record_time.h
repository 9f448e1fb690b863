#pragma once
// Times as the records keep them: UTC, ISO 8601, one format for all, so the
// stores compare them as text ("2026-12-10T13:45:12.345Z").

#include <chrono>
#include <string>

// `when` in the records' format, to the millisecond.
std::string RecordTimeText(std::chrono::system_clock::time_point when);
// The time now in the records' format.
std::string RecordTimeNow();

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
