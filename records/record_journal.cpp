#include "records/record_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>

#include "records/record_columns.h"

namespace {

std::string SystemText(int error) {
    return std::strerror(error);
}

bool WriteAllAt(int fd, const char* bytes, std::size_t count, off_t at) {
    while (count > 0) {
        const ssize_t n = pwrite(fd, bytes, count, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        count -= static_cast<std::size_t>(n);
        at += n;
    }
    return true;
}

std::string JsonLine(const nlohmann::json& json) {
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

// Zeroes are written in blocks of this size, the last block first.
constexpr std::size_t kClearBlock = 4096;

}  // namespace

std::unique_ptr<CRecordJournal> CRecordJournal::Open(const std::string& path, std::string& error) {
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        error = "cannot open the record journal " + path + ": " + SystemText(errno);
        return nullptr;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "the record journal " + path + " is not a regular file";
        close(fd);
        return nullptr;
    }
    // Its room is taken now, while the disk has it.
    const std::uint64_t size = std::max<std::uint64_t>(kJournalBytes, st.st_size);
    if (const int r = posix_fallocate(fd, 0, static_cast<off_t>(size)); r != 0) {
        error = "cannot make room for the record journal " + path + ": " + SystemText(r);
        close(fd);
        return nullptr;
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = pread(fd, text.data() + got, text.size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    text.resize(std::min(got, text.find('\0')));
    std::vector<UnitRecord> waiting;
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    for (; start < text.size(); ++lineNumber) {
        const std::size_t end = text.find('\n', start);
        // A line cut short was being written when the station died: it was
        // never synced, so its unit never showed a result.
        if (end == std::string::npos)
            break;
        const nlohmann::json line =
            nlohmann::json::parse(text.substr(start, end - start), nullptr, false);
        const auto bad = [&](const std::string& why) {
            error = path + ":" + std::to_string(lineNumber + 1) + ": not a journal entry" +
                    (why.empty() ? "" : ": " + why);
            close(fd);
            return nullptr;
        };
        if (!line.is_object() || line.size() != 1)
            return bad("");
        if (const auto forget = line.find("forget"); forget != line.end()) {
            if (!forget->is_string())
                return bad("forget: not an id");
            std::erase_if(waiting, [&](const UnitRecord& r) { return r.id == *forget; });
        } else if (const auto keep = line.find("keep"); keep != line.end()) {
            std::vector<std::string> values;
            if (keep->is_array() &&
                std::all_of(keep->begin(), keep->end(),
                            [](const nlohmann::json& v) { return v.is_string(); }))
                values = keep->get<std::vector<std::string>>();
            UnitRecord record;
            std::string why;
            if (values.size() != RecordColumnNames().size() ||
                !RecordFromColumnValues(values, record, why))
                return bad(why);
            std::erase_if(waiting, [&](const UnitRecord& r) { return r.id == record.id; });
            waiting.push_back(std::move(record));
        } else {
            return bad("");
        }
        start = end + 1;
    }
    return std::unique_ptr<CRecordJournal>(
        new CRecordJournal(path, fd, size, start, std::move(waiting)));
}

CRecordJournal::CRecordJournal(std::string path, int fd, std::uint64_t size, std::uint64_t end,
                               std::vector<UnitRecord> waiting)
    : m_path(std::move(path)), m_fd(fd), m_size(size), m_end(end), m_waiting(std::move(waiting)) {}

CRecordJournal::~CRecordJournal() {
    close(m_fd);
}

std::vector<UnitRecord> CRecordJournal::Waiting() const {
    std::lock_guard lock(m_lock);
    return m_waiting;
}

bool CRecordJournal::Keep(const UnitRecord& record, std::string& error) {
    std::lock_guard lock(m_lock);
    if (!AppendLocked(JsonLine({{"keep", RecordColumnValues(record)}}), error))
        return false;
    std::erase_if(m_waiting, [&](const UnitRecord& r) { return r.id == record.id; });
    m_waiting.push_back(record);
    return true;
}

bool CRecordJournal::Forget(const std::string& id, std::string& error) {
    std::lock_guard lock(m_lock);
    if (!AppendLocked(JsonLine({{"forget", id}}), error))
        return false;
    std::erase_if(m_waiting, [&](const UnitRecord& r) { return r.id == id; });
    return !m_waiting.empty() || ClearLocked(error);
}

bool CRecordJournal::AppendLocked(const std::string& line, std::string& error) {
    if (m_end + line.size() > m_size) {
        error = "the record journal " + m_path + " is full (" + std::to_string(m_size) + " bytes)";
        return false;
    }
    // The blocks are the file's already: this needs no room on the disk.
    if (!WriteAllAt(m_fd, line.data(), line.size(), static_cast<off_t>(m_end)) ||
        fdatasync(m_fd) != 0) {
        error = "cannot write the record journal " + m_path + ": " + SystemText(errno);
        return false;
    }
    m_end += line.size();
    return true;
}

bool CRecordJournal::ClearLocked(std::string& error) {
    const std::string zeros(kClearBlock, '\0');
    for (std::uint64_t at = (m_end + kClearBlock - 1) / kClearBlock * kClearBlock; at > 0;) {
        at -= kClearBlock;
        const std::size_t count =
            static_cast<std::size_t>(std::min<std::uint64_t>(kClearBlock, m_size - at));
        if (!WriteAllAt(m_fd, zeros.data(), count, static_cast<off_t>(at)) ||
            fdatasync(m_fd) != 0) {
            error = "cannot clear the record journal " + m_path + ": " + SystemText(errno);
            return false;
        }
    }
    m_end = 0;
    return true;
}
