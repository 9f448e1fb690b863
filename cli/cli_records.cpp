#include "cli/cli_records.h"

#include <charconv>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_option_split.h"
#include "cli/cli_options.h"
#include "records/pg_record_store.h"
#include "records/record_export.h"
#include "records/record_json.h"
#include "records/record_store.h"
#include "records/record_time.h"

namespace {

constexpr char kRecordsCommand[] = "records";
// Without --db: the station's default store, in the current folder.
constexpr char kDefaultStore[] = "records.db";
// A PostgreSQL store's local queue when it is read from here: the one a
// station started in this folder keeps, so its queued records show too.
constexpr char kDefaultQueueFile[] = "records-queue.db";
// `records show` prints the record's JSON indented for a reader.
constexpr int kShowIndent = 2;

constexpr char kRecordsHelp[] =
    R"(Usage: vornak-cli records list [--serial S] [--since T] [--result R]
                               [--bundle ID] [--release N] [--signer K] [--db URL]
       vornak-cli records show ID [--db URL]
       vornak-cli records export --csv FILE | --jsonl FILE [--serial S] [--since T]
                                 [--result R] [--bundle ID] [--release N] [--signer K]
                                 [--db URL]

The unit records a station wrote, newest first.

  list     one line per record, fields separated by a tab:
           START RESULT SERIAL VARIANT STATION ID FAILED_STEP REASON_CODE
           (an empty field shows as "-")
  show     the record ID as indented JSON
  export   the records to FILE as CSV (RFC 4180, a header line, CRLF line
           ends) or as JSON Lines (one record's JSON per line); FILE is
           replaced whole or, on failure, left as it was

Options:
  --serial S   only the box with serial number S
  --since T    only units started at or after T (UTC): 2026-12-10 or
               2026-12-10T13:45[:SS[.fff]][Z]
  --result R   only pass, fail or aborted
  --bundle ID  only units run from the release bundle ID (its manifest's
               SHA-256, as vornak-cli release verify prints it)
  --release N  only units run from a bundle with release number N
  --signer K   only units run from a bundle signed by key id K
  --db URL     the store: sqlite:PATH or a path (a SQLite file), or
               postgresql://USER@HOST[:PORT]/DB; default records.db in the
               current folder. A PostgreSQL store that does not answer shows
               the records of records-queue.db in the current folder (this
               station's own) and says so on stderr.

Exit status: 0 done, 1 the store can't be read or ID is unknown, 2 usage error.
)";

struct RecordsRequest {
    std::string action;  // list, show, export
    std::vector<std::string> args;
    std::string db = kDefaultStore;
    RecordFilter filter;
    std::optional<std::string> csv;
    std::optional<std::string> jsonl;
    bool help = false;
};

struct ActionRow {
    const char* name;
    std::size_t argCount;
    bool takesFilters;
};

constexpr ActionRow kActions[] = {
    {"list", 0, true},
    {"show", 1, false},
    {"export", 0, true},
};

constexpr OptionSpec kRecordsOptions[] = {
    {"--serial", OptionValue::Required}, {"--since", OptionValue::Required},
    {"--result", OptionValue::Required}, {"--db", OptionValue::Required},
    {"--csv", OptionValue::Required},    {"--jsonl", OptionValue::Required},
    {"--bundle", OptionValue::Required}, {"--release", OptionValue::Required},
    {"--signer", OptionValue::Required},
};

bool ParseRecordsLine(std::span<const char* const> tokens, RecordsRequest& request,
                      std::string& error) {
    SplitCommandLine line;
    if (!SplitOptions(tokens, kRecordsOptions, line, error))
        return false;
    for (const auto& [name, value] : line.options) {
        if (value->empty()) {
            error = "option '" + name + "' needs a value";
            return false;
        }
    }
    request.help = line.help;
    const std::vector<std::string>& positional = line.words;
    const std::optional<std::string> serial = line.Value("--serial");
    const std::optional<std::string> since = line.Value("--since");
    const std::optional<std::string> result = line.Value("--result");
    const std::optional<std::string> db = line.Value("--db");
    const std::optional<std::string> csv = line.Value("--csv");
    const std::optional<std::string> jsonl = line.Value("--jsonl");
    const std::optional<std::string> bundle = line.Value("--bundle");
    const std::optional<std::string> release = line.Value("--release");
    const std::optional<std::string> signer = line.Value("--signer");
    if (request.help && positional.empty())
        return true;
    if (positional.empty()) {
        error = "records needs list, show or export";
        return false;
    }
    const ActionRow* action = nullptr;
    for (const ActionRow& row : kActions) {
        if (positional.front() == row.name)
            action = &row;
    }
    if (action == nullptr) {
        error = "unknown records command '" + positional.front() + "'";
        return false;
    }
    request.action = action->name;
    request.args.assign(positional.begin() + 1, positional.end());
    if (request.help)
        return true;
    if (request.args.size() != action->argCount) {
        error = action->argCount == 0 ? "records " + request.action + " takes no arguments"
                                      : "records " + request.action + " takes one argument, ID";
        return false;
    }
    if (!action->takesFilters && (serial || since || result || bundle || release || signer)) {
        error = "records " + request.action +
                " takes no --serial, --since, --result, --bundle, --release or --signer";
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
    if (db)
        request.db = *db;
    request.filter.serial = serial;
    if (since) {
        std::string text;
        if (!ParseSinceTime(*since, text)) {
            error = "bad time '" + *since + "': give 2026-12-10 or 2026-12-10T13:45 (UTC)";
            return false;
        }
        request.filter.since = text;
    }
    if (result) {
        UnitResult value;
        if (!UnitResultFromName(*result, value)) {
            error = "bad result '" + *result + "': give pass, fail or aborted";
            return false;
        }
        request.filter.result = value;
    }
    request.filter.bundleId = bundle;
    request.filter.signerKeyId = signer;
    if (release) {
        std::int64_t number = 0;
        const char* end = release->data() + release->size();
        const auto [ptr, ec] = std::from_chars(release->data(), end, number);
        if (ec != std::errc() || ptr != end || number < 1) {
            error = "bad release number '" + *release + "': give a whole number from 1";
            return false;
        }
        request.filter.releaseNumber = number;
    }
    request.csv = csv;
    request.jsonl = jsonl;
    return true;
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

void PrintError(std::FILE* err, const std::string& message) {
    std::fprintf(err, "vornak-cli: %s\n", message.c_str());
}

}  // namespace

bool IsRecordsCommandLine(int argc, const char* const* argv) {
    return argc >= 2 && std::string_view(argv[1]) == kRecordsCommand;
}

int RunRecordsCommandLine(int argc, const char* const* argv, std::FILE* out, std::FILE* err) {
    RecordsRequest request;
    std::string error;
    const std::span<const char* const> tokens(argv + 2, argc > 2 ? argc - 2 : 0);
    if (!ParseRecordsLine(tokens, request, error)) {
        PrintError(err, error);
        std::fputs("Try 'vornak-cli records --help'.\n", err);
        return kExitUsage;
    }
    if (request.help) {
        std::fputs(kRecordsHelp, out);
        return kExitSuccess;
    }

    // Reading must not leave an empty store behind where there was none.
    const std::string sqlitePath = SqliteStorePath(request.db);
    if (!sqlitePath.empty() && !std::filesystem::exists(sqlitePath)) {
        PrintError(err, "no record store at " + sqlitePath);
        return kExitFailure;
    }
    std::unique_ptr<IRecordStore> store = OpenRecordStore(request.db, kDefaultQueueFile, error);
    if (!store) {
        PrintError(err, error);
        return kExitFailure;
    }

    int status = kExitSuccess;
    if (request.action == "show") {
        const std::optional<UnitRecord> record = store->Find(request.args.front());
        if (record) {
            std::fprintf(out, "%s\n", JsonText(RecordToJson(*record), kShowIndent).c_str());
        } else {
            PrintError(err, "no record " + request.args.front() + " in " + store->Describe());
            status = kExitFailure;
        }
    } else {
        const std::vector<UnitRecord> records = store->List(request.filter);
        if (request.action == "list") {
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
                PrintError(err, error);
                status = kExitFailure;
            }
        }
    }
    if (const auto* pg = dynamic_cast<const CPgRecordStore*>(store.get()); pg && !pg->Online()) {
        PrintError(err, store->Describe() + " does not answer: these are the records of " +
                            kDefaultQueueFile + " only");
    }
    std::fflush(out);
    return status;
}
