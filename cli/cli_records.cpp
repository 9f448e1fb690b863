#include "cli/cli_records.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_records_gate.h"
#include "cli/cli_report.h"
#include "cli/cli_rows.h"
#include "cli/cli_text_escape.h"
#include "records/pg_record_store.h"
#include "records/record_export.h"
#include "records/record_json.h"
#include "records/record_store.h"
#include "records/record_time.h"
#include "records/report/report_shifts.h"
#include "station/release/release_manifest.h"

namespace {

constexpr char kRecordsCommand[] = "records";
// `records show` prints the record's JSON indented for a reader.
constexpr int kShowIndent = 2;

constexpr char kRecordsHelp[] =
    R"(Usage: vornak-cli records list [FILTERS] [--db URL]
       vornak-cli records show ID [--db URL]
       vornak-cli records export --csv FILE | --jsonl FILE [FILTERS] [--db URL]
       vornak-cli records report --html FILE [--shifts HH:MM,...] [FILTERS] [--db URL]
       vornak-cli records gate SERIAL [--variant V] [--db URL]

The unit records a station wrote, newest first.

  list     one line per record, fields separated by a tab:
           START RESULT SERIAL VARIANT STATION ID FAILED_STEP REASON_CODE
           (an empty field shows as "-")
  show     the record ID as indented JSON
  export   the records to FILE as CSV (RFC 4180, a header line, CRLF line
           ends) or as JSON Lines (one record's JSON per line); FILE is
           replaced whole or, on failure, left as it was
  report   the shift report of the records as one HTML page (figures per
           shift and hour, failure reasons, failures per slot and adapter,
           cycle-time run charts, the units that did not pass; in Chinese,
           nothing fetched from outside, prints on A4); FILE is replaced
           whole or, on failure, left as it was

  gate     whether the box SERIAL may leave the line: exit 0 when its last
           run (of variant V, or of any) passed, 1 when it did not or never
           ran; one line on stdout: PASSED|NOT_PASSED SERIAL RESULT VARIANT
           START [STEP REASON], or NEVER_RAN SERIAL

Filters (each narrows the records; times are UTC):
  --serial S          the box with serial number S
  --since T           units started at or after T: 2026-12-10 or
                      2026-12-10T13:45[:SS[.fff]][Z]
  --until T           units started before T (same forms)
  --result R          pass, fail or aborted
  --version V         the box reported version V after the unit
  --package-sha256 H  the firmware package with SHA-256 H (64 hex digits)
  --recipe-sha256 H   the recipe file with SHA-256 H
  --variant V         the recipe's vehicle variant V
  --station S         station S
  --bundle ID         units run from the release bundle ID (its manifest's
                      SHA-256, as vornak-cli release verify prints it)
  --release N         units run from a bundle with release number N
  --signer K          units run from a bundle signed by key id K

Options:
  --shifts HH:MM,...  report: the local times the shifts start, default
                      06:00,14:00,22:00
  --db URL            the store: sqlite:PATH or a path (a SQLite file), or
                      postgresql://USER@HOST[:PORT]/DB; default records.db in
                      the current folder. A PostgreSQL store that does not
                      answer shows the records of records-queue.db in the
                      current folder (this station's own) and says so on
                      stderr.

Exit status: 0 done, 1 the store can't be read, ID is unknown or FILE can't
be written, 2 usage error or a FILE that can't be one (a folder, a device, a
name in a missing folder).
)";

// Why `path` can't be the file an export or a report replaces: a folder, a
// device or a FIFO, or a name in a folder that isn't there. Empty when it can.
std::string OutputTargetProblem(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (fs::exists(status) && !fs::is_regular_file(status))
        return path + ": not a regular file";
    const fs::path folder = fs::path(path).parent_path();
    if (!fs::is_directory(folder.empty() ? fs::path(".") : folder, ec))
        return path + ": no folder " + folder.string();
    return {};
}

struct RecordsRequest {
    std::string action;  // list, show, export, report
    std::vector<std::string> args;
    // Without --db: the station's default store, in the current folder; a
    // PostgreSQL store's queue is the one a station started here keeps.
    std::string db = kDefaultRecordsFile;
    RecordFilter filter;
    std::optional<std::string> csv;
    std::optional<std::string> jsonl;
    std::optional<std::string> html;
    ShiftSchedule shifts;
};

struct ActionRow {
    const char* name;
    std::size_t argCount;
    bool takesFilters;
};

constexpr ActionRow kActions[] = {
    {"list", 0, true},   {"show", 1, false}, {"export", 0, true},
    {"report", 0, true}, {"gate", 1, true},
};

// The filters that match a column's text whole.
struct TextFilter {
    std::string_view option;
    std::optional<std::string> RecordFilter::*field;
    bool digest;  // a SHA-256 in hex, matched in lower case
};

constexpr TextFilter kTextFilters[] = {
    {"--serial", &RecordFilter::serial, false},
    {"--version", &RecordFilter::versionAfter, false},
    {"--package-sha256", &RecordFilter::packageSha256, true},
    {"--recipe-sha256", &RecordFilter::recipeSha256, true},
    {"--variant", &RecordFilter::variant, false},
    {"--station", &RecordFilter::station, false},
    {"--bundle", &RecordFilter::bundleId, true},
    {"--signer", &RecordFilter::signerKeyId, false},
};

struct TimeFilter {
    std::string_view option;
    std::optional<std::string> RecordFilter::*field;
};

constexpr TimeFilter kTimeFilters[] = {
    {"--since", &RecordFilter::since},
    {"--until", &RecordFilter::until},
};

constexpr char kResultOption[] = "--result";
constexpr char kReleaseOption[] = "--release";

constexpr OptionRow kRecordsOptions[] = {
    {"--serial", OptionValue::Required},        {"--since", OptionValue::Required},
    {"--until", OptionValue::Required},         {kResultOption, OptionValue::Required},
    {"--version", OptionValue::Required},       {"--package-sha256", OptionValue::Required},
    {"--recipe-sha256", OptionValue::Required}, {"--variant", OptionValue::Required},
    {"--station", OptionValue::Required},       {"--db", OptionValue::Required},
    {"--csv", OptionValue::Required},           {"--jsonl", OptionValue::Required},
    {"--html", OptionValue::Required},          {"--shifts", OptionValue::Required},
    {"--bundle", OptionValue::Required},        {kReleaseOption, OptionValue::Required},
    {"--signer", OptionValue::Required},
};

bool IsSha256Hex(const std::string& text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(),
                                            [](unsigned char c) { return std::isxdigit(c) != 0; });
}

// Fills request.filter from the filter options given. False with `error`
// for a value that is not one the filter can take.
bool ReadFilters(const CCommandLine& line, RecordFilter& filter, std::string& error) {
    for (const TextFilter& f : kTextFilters) {
        std::optional<std::string> value = line.Value(f.option);
        if (value && f.digest) {
            if (!IsSha256Hex(*value)) {
                error = "bad " + std::string(f.option.substr(2)) + " '" + *value +
                        "': give 64 hex digits";
                return false;
            }
            std::transform(value->begin(), value->end(), value->begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        }
        filter.*f.field = value;
    }
    for (const TimeFilter& f : kTimeFilters) {
        if (const std::optional<std::string> value = line.Value(f.option)) {
            std::string bound;
            if (!ParseRecordTime(*value, bound)) {
                error = "bad time '" + *value + "': give 2026-12-10 or 2026-12-10T13:45 (UTC)";
                return false;
            }
            filter.*f.field = bound;
        }
    }
    if (const std::optional<std::string> result = line.Value(kResultOption)) {
        UnitResult value;
        if (!UnitResultFromName(*result, value)) {
            error = "bad result '" + *result + "': give pass, fail or aborted";
            return false;
        }
        filter.result = value;
    }
    if (const std::optional<std::string> release = line.Value(kReleaseOption)) {
        std::int64_t number = 0;
        if (!ParseReleaseNumber(*release, number)) {
            error = "bad release number '" + *release + "': give a whole number from 1";
            return false;
        }
        filter.releaseNumber = number;
    }
    return true;
}

bool AnyFilterGiven(const CCommandLine& line) {
    return line.Has(kResultOption) || line.Has(kReleaseOption) ||
           std::any_of(std::begin(kTextFilters), std::end(kTextFilters),
                       [&](const TextFilter& f) { return line.Has(f.option); }) ||
           std::any_of(std::begin(kTimeFilters), std::end(kTimeFilters),
                       [&](const TimeFilter& f) { return line.Has(f.option); });
}

bool ParseRecordsLine(const CCommandLine& line, RecordsRequest& request, std::string& error) {
    if (!NoEmptyValues(line, error))
        return false;
    const std::vector<std::string>& positional = line.Words();
    const std::optional<std::string> db = line.Value("--db");
    const std::optional<std::string> csv = line.Value("--csv");
    const std::optional<std::string> jsonl = line.Value("--jsonl");
    const std::optional<std::string> html = line.Value("--html");
    const std::optional<std::string> shifts = line.Value("--shifts");
    if (positional.empty()) {
        error = "records needs list, show, export, report or gate";
        return false;
    }
    const ActionRow* action = FindRow<ActionRow>(kActions, positional.front());
    if (action == nullptr) {
        error = "unknown records command '" + positional.front() + "'";
        return false;
    }
    request.action = action->name;
    request.args.assign(positional.begin() + 1, positional.end());
    if (request.args.size() != action->argCount) {
        error = action->argCount == 0 ? "records " + request.action + " takes no arguments"
                                      : "records " + request.action + " takes one argument";
        return false;
    }
    if (request.action == "gate" && AnyFilterGiven(line) &&
        !(line.Has("--variant") && line.GivenOptions().size() == 1 + (line.Has("--db") ? 1 : 0))) {
        error = "records gate takes no filter but --variant";
        return false;
    }
    if (!action->takesFilters && AnyFilterGiven(line)) {
        error = "records " + request.action + " takes no filters";
        return false;
    }
    const bool exports = request.action == "export";
    if (exports && csv.has_value() == jsonl.has_value()) {
        error = "records export needs one of --csv FILE and --jsonl FILE";
        return false;
    }
    if (!exports && (csv || jsonl)) {
        error = "--csv and --jsonl belong to records export";
        return false;
    }
    const bool reports = request.action == "report";
    if (reports && !html) {
        error = "records report needs --html FILE";
        return false;
    }
    if (!reports && (html || shifts)) {
        error = "--html and --shifts belong to records report";
        return false;
    }
    if (db)
        request.db = *db;
    if (!ReadFilters(line, request.filter, error))
        return false;
    request.csv = csv;
    request.jsonl = jsonl;
    request.html = html;
    return !reports || !shifts || ParseShiftSchedule(*shifts, request.shifts, error);
}

std::string FieldOrDash(const std::string& text) {
    return text.empty() ? "-" : text;
}

std::string ListLine(const UnitRecord& record) {
    const std::string fields[] = {record.startTime,  UnitResultName(record.result),
                                  record.serial,     record.variant,
                                  record.station,    record.id,
                                  record.failedStep, record.reasonCode};
    std::string line;
    for (const std::string& field : fields) {
        line += (line.empty() ? "" : "\t") + FieldOrDash(field);
    }
    return line;
}

int RunRecords(const CCommandLine& line, std::FILE* out, std::FILE* err) {
    RecordsRequest request;
    std::string error;
    if (!ParseRecordsLine(line, request, error))
        return SubcommandUsageError(err, kRecordsCommand, error);

    // A target that can't be written is bad input, told before anything is read.
    for (const auto* target : {&request.csv, &request.jsonl, &request.html}) {
        if (*target) {
            if (const std::string problem = OutputTargetProblem(**target); !problem.empty()) {
                PrintCliMessage(err, problem);
                return kExitUsage;
            }
        }
    }
    // Reading must not leave an empty store behind where there was none.
    const std::string sqlitePath = SqliteStorePath(request.db);
    if (!sqlitePath.empty() && !std::filesystem::exists(sqlitePath)) {
        PrintCliMessage(err, "no record store at " + sqlitePath);
        return kExitFailure;
    }
    // Only a station makes the local queue of a PostgreSQL store: a reading
    // command reads this PC's queue when there is one (the records waiting for
    // a server that is away), and an empty one in memory otherwise.
    const std::string queuePath =
        std::filesystem::exists(kDefaultQueueFile) ? kDefaultQueueFile : ":memory:";
    std::unique_ptr<IRecordStore> store = OpenRecordStore(request.db, queuePath, error);
    if (!store) {
        PrintCliMessage(err, error);
        return kExitFailure;
    }

    int status = kExitSuccess;
    if (request.action == "show") {
        std::optional<UnitRecord> record;
        if (!store->Find(request.args.front(), record, error)) {
            PrintCliMessage(err, error);
            status = kExitFailure;
        } else if (record) {
            std::fprintf(out, "%s\n", JsonText(RecordToJson(*record), kShowIndent).c_str());
        } else {
            PrintCliMessage(err, "no record " + request.args.front() + " in " + store->Describe());
            status = kExitFailure;
        }
    } else if (request.action == "gate") {
        status = RunRecordsGate(*store, request.args.front(), request.filter.variant, out, err);
    } else if (request.action == "report") {
        status = RunRecordsReport(*store, request.filter, request.shifts, *request.html, err);
    } else {
        std::vector<UnitRecord> records;
        if (!store->List(request.filter, records, error)) {
            PrintCliMessage(err, error);
            status = kExitFailure;
        } else if (request.action == "list") {
            for (const UnitRecord& record : records) {
                std::fprintf(out, "%s\n", ListLine(record).c_str());
            }
        } else {
            const std::string& path = request.csv ? *request.csv : *request.jsonl;
            const bool written = request.csv ? ExportCsv(path, records, error)
                                             : ExportJsonLines(path, records, error);
            if (written) {
                std::fprintf(err, "%zu records written to %s\n", records.size(), path.c_str());
            } else {
                PrintCliMessage(err, error);
                status = kExitFailure;
            }
        }
    }
    if (const auto* pg = dynamic_cast<const CPgRecordStore*>(store.get()); pg && !pg->Online()) {
        PrintCliMessage(err, store->Describe() + " does not answer: these are the records of " +
                                 kDefaultQueueFile + " only");
    }
    return status;
}

}  // namespace

CliSubcommand RecordsSubcommand() {
    return {kRecordsCommand, kRecordsOptions, kRecordsHelp, RunRecords};
}
