#include "records/pg_record_store.h"
#include "records/record_store.h"
#include "records/sqlite_record_store.h"

namespace {

constexpr char kSqliteScheme[] = "sqlite:";
constexpr const char* kPostgresSchemes[] = {"postgresql://", "postgres://"};

}  // namespace

std::unique_ptr<IRecordStore> OpenRecordStore(const std::string& url, const std::string& queuePath,
                                              std::string& error) {
    for (const char* scheme : kPostgresSchemes) {
        if (url.starts_with(scheme))
            return CPgRecordStore::Open(url, queuePath, error);
    }
    std::string path = url;
    if (url.starts_with(kSqliteScheme))
        path = url.substr(std::char_traits<char>::length(kSqliteScheme));
    else if (url.find("://") != std::string::npos) {
        error = "unknown kind of store '" + url + "': give sqlite:PATH, a path or postgresql://...";
        return nullptr;
    }
    if (path.empty()) {
        error = "no path in '" + url + "'";
        return nullptr;
    }
    return CSqliteRecordStore::Open(path, error);
}
