// Record journals of any content, as a disk or a kill may leave them: the
// reader either refuses naming the file, or gives the records that wait, each
// of which it keeps and forgets again without a fault.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "records/record_journal.h"

namespace {

std::string ScratchFile() {
    char dir[] = "/tmp/vornak-fuzz-journal.XXXXXX";
    if (mkdtemp(dir) == nullptr)
        std::abort();
    return std::string(dir) + "/" + kDefaultJournalFile;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = ScratchFile();
    unlink(path.c_str());
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0)
        std::abort();

    std::string error;
    const auto journal = CRecordJournal::Open(path, error);
    if (!journal) {
        if (error.find(path) == std::string::npos)
            std::abort();  // every refusal names the file
        return 0;
    }
    for (const UnitRecord& record : journal->Waiting()) {
        if (!journal->Keep(record, error) || !journal->Forget(record.id, error))
            std::abort();
    }
    if (!journal->Waiting().empty())
        std::abort();
    return 0;
}
