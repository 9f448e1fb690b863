#include "records/pg_record_store.h"
#include "records/record_store.h"
#include "records/sqlite_record_store.h"

namespace {

constexpr char kSqliteScheme[] = "sqlite:";
constexpr const char* kPostgresSchemes[] = {"postgresql://", "postgres://"};

bool IsPostgresUrl(const std::string& url) {
    for (const char* scheme : kPostgresSchemes) {
        if (url.starts_with(scheme))
            return true;
    }
    return false;
}

}  // namespace

std::vector<UnitRecord> IRecordStore::List(const RecordFilter& filter) {
    std::vector<UnitRecord> records;
    std::string error;
    if (!List(filter, records, error))
        throw CRecordReadError(Describe() + ": " + error);
    return records;
}

std::optional<UnitRecord> IRecordStore::Find(const std::string& id) {
    std::optional<UnitRecord> record;
    std::string error;
    if (!Find(id, record, error))
        throw CRecordReadError(Describe() + ": " + error);
    return record;
}

std::string SqliteStorePath(const std::string& url) {
    if (url.starts_with(kSqliteScheme))
        return url.substr(std::char_traits<char>::length(kSqliteScheme));
    if (IsPostgresUrl(url) || url.find("://") != std::string::npos)
        return "";
    return url;
}

std::unique_ptr<IRecordStore> OpenRecordStore(const std::string& url, const std::string& queuePath,
                                              std::string& error) {
    if (IsPostgresUrl(url))
        return CPgRecordStore::Open(url, queuePath, error);
    const std::string path = SqliteStorePath(url);
    if (path.empty()) {
        error = "can't read the store '" + url + "': give sqlite:PATH, a path or postgresql://...";
        return nullptr;
    }
    return CSqliteRecordStore::Open(path, error);
}
