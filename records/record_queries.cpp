#include "records/record_queries.h"

#include <utility>

#include "records/record_columns.h"

namespace {

std::string Param(ParamStyle style, std::size_t number) {
    return (style == ParamStyle::Sqlite ? "?" : "$") + std::to_string(number);
}

// Newest first; records that started together in insertion order, reversed.
constexpr char kNewestFirst[] = " ORDER BY start_time DESC, seq DESC";

}  // namespace

RecordQuery InsertCheckQuery(ParamStyle style, const std::string& id, const std::string& serial,
                             const std::string& recipeSha256) {
    // One statement, so one round trip and one snapshot for both answers.
    return {"SELECT (SELECT COUNT(*) FROM unit_records WHERE id = " + Param(style, 1) +
                "), (SELECT result FROM unit_records WHERE serial = " + Param(style, 2) +
                " AND recipe_sha256 = " + Param(style, 3) + kNewestFirst + " LIMIT 1)",
            {id, serial, recipeSha256}};
}

RecordQuery LastRunQuery(ParamStyle style, const std::string& serial,
                         const std::string& recipeSha256) {
    return {"SELECT result FROM unit_records WHERE serial = " + Param(style, 1) +
                " AND recipe_sha256 = " + Param(style, 2) + kNewestFirst + " LIMIT 1",
            {serial, recipeSha256}};
}

RecordQuery InsertRecordQuery(ParamStyle style, const UnitRecord& record) {
    RecordQuery query;
    query.params = RecordColumnValues(record);
    std::string values;
    for (std::size_t i = 1; i <= query.params.size(); ++i) {
        values += (i > 1 ? ", " : "") + Param(style, i);
    }
    query.sql = "INSERT INTO unit_records (" + RecordColumnList() + ") VALUES (" + values +
                ") ON CONFLICT (id) DO NOTHING";
    return query;
}

RecordQuery ListRecordsQuery(ParamStyle style, const RecordFilter& filter) {
    RecordQuery query;
    std::string where;
    auto add = [&](const char* condition, const std::string& value) {
        query.params.push_back(value);
        where += (where.empty() ? " WHERE " : " AND ") + std::string(condition) +
                 Param(style, query.params.size());
    };
    const std::pair<const char*, const std::optional<std::string>*> equal[] = {
        {"serial = ", &filter.serial},
        {"version_after = ", &filter.versionAfter},
        {"package_sha256 = ", &filter.packageSha256},
        {"recipe_sha256 = ", &filter.recipeSha256},
        {"variant = ", &filter.variant},
        {"station = ", &filter.station},
        {"bundle_id = ", &filter.bundleId},
        {"signer_key_id = ", &filter.signerKeyId},
    };
    for (const auto& [condition, value] : equal) {
        if (*value)
            add(condition, **value);
    }
    // Times share one format, so text order is time order.
    if (filter.since)
        add("start_time >= ", *filter.since);
    if (filter.until)
        add("start_time < ", *filter.until);
    if (filter.result)
        add("result = ", UnitResultName(*filter.result));
    if (filter.releaseNumber)
        add("release_number = ", std::to_string(*filter.releaseNumber));
    // The column is an integer, so the parameter compares as a number.
    if (filter.releaseAbove)
        add("release_number > ", std::to_string(*filter.releaseAbove));
    query.sql = "SELECT " + RecordColumnList() + " FROM unit_records" + where + kNewestFirst;
    if (filter.limit > 0)
        query.sql += " LIMIT " + std::to_string(filter.limit);
    return query;
}

RecordQuery FindRecordQuery(ParamStyle style, const std::string& id) {
    return {"SELECT " + RecordColumnList() + " FROM unit_records WHERE id = " + Param(style, 1),
            {id}};
}

InterlockState InterlockFromLastRun(const std::optional<std::string>& resultName) {
    if (!resultName)
        return InterlockState::New;
    return *resultName == UnitResultName(UnitResult::Pass) ? InterlockState::Passed
                                                           : InterlockState::LastFailed;
}
