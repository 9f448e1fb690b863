#pragma once
// The records store a station front end opens: the URL it was given, or
// records.db beside the recipe; a PostgreSQL store's queue file lives there
// too. A store that cannot be opened (its header or schema unreadable)
// refuses the start; the full check of every page runs beside the units
// (store_check.h), and damage it finds stops the line.

#include <memory>
#include <optional>
#include <string>

#include "records/record_store.h"

// What a record names as the station and the operator unless told: the
// host's name and the login user ($USER), each empty when unknown.
std::string DefaultStationName();
std::string DefaultOperatorName();

std::unique_ptr<IRecordStore> OpenStationStore(const std::string& recipePath,
                                               const std::optional<std::string>& url,
                                               std::string& error);

// The folder of the store OpenStationStore opens: the SQLite file's, or for a
// PostgreSQL store the local queue file's. Reports are written there.
std::string StationStoreFolder(const std::string& recipePath,
                               const std::optional<std::string>& url);
