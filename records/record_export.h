#pragma once
// Records written to a file for a spreadsheet or another system: CSV (RFC
// 4180: fields with a comma, a quote or a line break in double quotes, quotes
// doubled, lines ended by CRLF; the header line names the columns) or JSON
// Lines (one record's JSON per line).
//
// The file is replaced whole or not at all (ReplaceFileWhole, link/file_replace.h):
// the destination holds either its old content or the whole export, never
// part of one. On failure the destination is untouched and nothing is left
// behind.

#include <string>
#include <vector>

#include "records/unit_record.h"

std::string CsvField(const std::string& text);
std::string RecordsCsvText(const std::vector<UnitRecord>& records);
std::string RecordsJsonLinesText(const std::vector<UnitRecord>& records);

bool ExportCsv(const std::string& path, const std::vector<UnitRecord>& records, std::string& error);
bool ExportJsonLines(const std::string& path, const std::vector<UnitRecord>& records,
                     std::string& error);
