#pragma once
// The plant's shifts: the local times of day at which each shift starts, in
// order; a shift lasts until the next one starts (the last until the first of
// the next day). Times of units are placed in the shift and the hour they
// started in, in the machine's local time (the TZ the process runs with).

#include <chrono>
#include <string>
#include <vector>

struct ShiftSchedule {
    // Minutes after local midnight, ascending, at least one; by default three
    // eight-hour shifts from 06:00, 14:00 and 22:00.
    std::vector<int> startMinutes = {6 * 60, 14 * 60, 22 * 60};
};

// Reads "06:00,14:00,22:00": one to 24 times HH:MM, ascending. False with
// `error` for anything else; `schedule` is then unchanged.
bool ParseShiftSchedule(const std::string& text, ShiftSchedule& schedule, std::string& error);

// One shift as it ran: from `start` to `end`, local.
struct ShiftSpan {
    std::chrono::system_clock::time_point start;
    std::chrono::system_clock::time_point end;
    std::string label;  // "2026-12-10 06:00-14:00" (local)
};

// The shift that `when` falls in.
ShiftSpan ShiftOf(const ShiftSchedule& schedule, std::chrono::system_clock::time_point when);

// Local "2026-12-10 13:45" of `when`.
std::string LocalTimeText(std::chrono::system_clock::time_point when);
