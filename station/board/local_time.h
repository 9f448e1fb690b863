#pragma once
// A record's time as the station's operator reads it: records keep UTC, a
// screen shows the local time of the machine (its TZ). Pure but for the
// time-zone database.

#include <string>

// `stored` ("2026-12-10T13:45:12.345Z") in local time: "2026-12-10 21:45:12"
// with the year, "12-10 21:45:12" without. A text that is not a stored time
// comes back as it is.
std::string LocalTimeText(const std::string& stored, bool withYear);
