#include "records/unit_record.h"

#include <chrono>

#include "records/record_time.h"

namespace {

struct UnitResultRow {
    UnitResult result;
    const char* name;
};

constexpr UnitResultRow kUnitResults[] = {
    {UnitResult::Pass, "pass"},
    {UnitResult::Fail, "fail"},
    {UnitResult::Aborted, "aborted"},
};

}  // namespace

const char* UnitResultName(UnitResult result) {
    for (const UnitResultRow& row : kUnitResults) {
        if (row.result == result)
            return row.name;
    }
    return "fail";
}

bool UnitResultFromName(const std::string& name, UnitResult& result) {
    for (const UnitResultRow& row : kUnitResults) {
        if (name == row.name) {
            result = row.result;
            return true;
        }
    }
    return false;
}

double UnitSeconds(const UnitRecord& record) {
    std::chrono::system_clock::time_point start;
    std::chrono::system_clock::time_point end;
    if (!RecordTimePoint(record.startTime, start) || !RecordTimePoint(record.endTime, end) ||
        end < start)
        return 0.0;
    return std::chrono::duration<double>(end - start).count();
}
