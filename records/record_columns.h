#pragma once
// The fields of a UnitRecord as one table: the stores' columns, the CSV
// export's columns and the JSON form's keys all follow it, in its order.
//
// Every field travels as text between the record and a store: flags as "0" or
// "1", the result by its name, the steps and the frame trace as JSON text.

#include <span>
#include <string>
#include <vector>

#include "records/unit_record.h"

// The column names, in the table's order.
std::vector<std::string> RecordColumnNames();

// "id, start_time, ..." for a statement's column list.
std::string RecordColumnList();

// The record's fields as column texts, in the table's order.
std::vector<std::string> RecordColumnValues(const UnitRecord& record);

// Builds a record from column texts in the table's order. False with `error`
// naming the record's id and the field when a value can't be read (a result
// name or JSON text a store should not hold); `record` is then unspecified.
bool RecordFromColumnValues(std::span<const std::string> values, UnitRecord& record,
                            std::string& error);
