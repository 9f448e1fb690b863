#include "records/record_export.h"

#include "base/file_replace.h"
#include "records/record_columns.h"
#include "records/record_json.h"

namespace {

constexpr char kCsvLineEnd[] = "\r\n";

std::string CsvLine(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += ',';
        line += CsvField(fields[i]);
    }
    return line + kCsvLineEnd;
}

}  // namespace

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + '"';
}

std::string RecordsCsvText(const std::vector<UnitRecord>& records) {
    std::string text = CsvLine(RecordColumnNames());
    for (const UnitRecord& record : records) {
        text += CsvLine(RecordColumnValues(record));
    }
    return text;
}

std::string RecordsJsonLinesText(const std::vector<UnitRecord>& records) {
    std::string text;
    for (const UnitRecord& record : records) {
        text += RecordJsonText(record) + '\n';
    }
    return text;
}

bool ExportCsv(const std::string& path, const std::vector<UnitRecord>& records,
               std::string& error) {
    return ReplaceFileWhole(path, RecordsCsvText(records), error);
}

bool ExportJsonLines(const std::string& path, const std::vector<UnitRecord>& records,
                     std::string& error) {
    return ReplaceFileWhole(path, RecordsJsonLinesText(records), error);
}
