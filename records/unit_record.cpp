#include "records/unit_record.h"

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
