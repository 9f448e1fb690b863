#pragma once
// Times as the records keep them: UTC, ISO 8601, one format for all, so the
// stores compare them as text ("2026-12-10T13:45:12.345Z").

#include <chrono>
#include <string>

// `when` in the records' format, to the millisecond.
std::string RecordTimeText(std::chrono::system_clock::time_point when);

// Reads the start of a time range a user typed: a date "2026-12-10" or a UTC
// time "2026-12-10T13:45", with seconds and fractions optional and a "Z"
// allowed. Puts into `since` the text that compares correctly with stored
// times (the "Z" dropped: a shorter prefix sorts first). False for anything
// else; `since` is then unchanged.
bool ParseSinceTime(const std::string& text, std::string& since);
