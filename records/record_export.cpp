#include "records/record_export.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

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

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool WriteAll(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
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

bool ReplaceFileWhole(const std::string& path, const std::string& content, std::string& error) {
    const std::filesystem::path target(path);
    std::filesystem::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    std::string temp = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        error = SystemError("can't write in " + folder.string());
        return false;
    }
    bool ok = WriteAll(fd, content);
    if (!ok)
        error = SystemError("can't write " + temp);
    if (ok && fsync(fd) != 0) {
        error = SystemError("can't flush " + temp);
        ok = false;
    }
    // mkostemp makes the file 0600; an export is for others to read.
    if (ok && fchmod(fd, 0644) != 0) {
        error = SystemError("can't set the mode of " + temp);
        ok = false;
    }
    if (close(fd) != 0 && ok) {
        error = SystemError("can't close " + temp);
        ok = false;
    }
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
        error = SystemError("can't replace " + path);
        ok = false;
    }
    if (!ok) {
        unlink(temp.c_str());
        return false;
    }
    // The rename itself is on the disk once the folder is.
    const int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

bool ExportCsv(const std::string& path, const std::vector<UnitRecord>& records,
               std::string& error) {
    return ReplaceFileWhole(path, RecordsCsvText(records), error);
}

bool ExportJsonLines(const std::string& path, const std::vector<UnitRecord>& records,
                     std::string& error) {
    return ReplaceFileWhole(path, RecordsJsonLinesText(records), error);
}
