#pragma once
// The statements both stores run, written once: the only difference between
// the two dialects here is how a parameter is named ("?1" or "$1"). Every
// value travels as a bound parameter.

#include <optional>
#include <string>
#include <vector>

#include "records/record_store.h"

enum class ParamStyle { Sqlite, Postgres };

struct RecordQuery {
    std::string sql;
    std::vector<std::string> params;
};

// What an insert checks, in one row: whether `id` is stored ("1" or "0")
// and the result name of the last run of `serial` through the recipe
// (empty when it never ran).
RecordQuery InsertCheckQuery(ParamStyle style, const std::string& id, const std::string& serial,
                             const std::string& recipeSha256);
// The result name of the last run of `serial` through the recipe, if any.
RecordQuery LastRunQuery(ParamStyle style, const std::string& serial,
                         const std::string& recipeSha256);
// Inserts the record; an id already stored changes nothing.
RecordQuery InsertRecordQuery(ParamStyle style, const UnitRecord& record);
// Every column (RecordColumnList order), newest first.
RecordQuery ListRecordsQuery(ParamStyle style, const RecordFilter& filter);
RecordQuery FindRecordQuery(ParamStyle style, const std::string& id);

// The interlock state for the last run's result name (none: never run).
InterlockState InterlockFromLastRun(const std::optional<std::string>& resultName);
