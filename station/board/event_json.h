#pragma once
// The JSON form of station events, one object per event, for a PLC or MES
// bridge reading the command-line tool's --json output line by line. Every
// object carries "schema" (kStationEventSchema); fields are only ever added
// under one schema number, and a change of meaning takes a new number.

#include <nlohmann/json.hpp>

#include "station/engine/station_events.h"

constexpr int kStationEventSchema = 1;

nlohmann::json StationEventToJson(const StationEvent& event, const std::string& time);
