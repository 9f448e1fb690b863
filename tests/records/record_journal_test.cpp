// The record journal on its own: what it keeps survives a reopen, what it
// forgets does not, a line cut short by a kill is not a record, and a full
// journal refuses rather than losing what it holds.

#include "records/record_journal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/temp_dir.h"

namespace {

UnitRecord Record(const std::string& id) {
    UnitRecord record;
    record.id = id;
    record.serial = "S-" + id;
    record.startTime = "2026-12-11T08:00:00.000Z";
    record.result = UnitResult::Fail;
    record.reasonCode = kReasonRecordError;
    record.reasonText = "记录保存失败: 磁盘已满";
    return record;
}

std::vector<std::string> Ids(const CRecordJournal& journal) {
    std::vector<std::string> ids;
    for (const UnitRecord& r : journal.Waiting())
        ids.push_back(r.id);
    return ids;
}

class RecordJournalTest : public ::testing::Test {
protected:
    std::unique_ptr<CRecordJournal> Reopen() {
        std::string error;
        auto journal = CRecordJournal::Open(m_path, error);
        EXPECT_NE(journal, nullptr) << error;
        return journal;
    }

    CTempDir m_dir{"journal"};
    std::string m_path = m_dir / kDefaultJournalFile;
};

TEST_F(RecordJournalTest, KeepsUntilForgottenAcrossReopens) {
    std::string error;
    {
        auto journal = Reopen();
        EXPECT_EQ(std::filesystem::file_size(m_path), kJournalBytes);
        ASSERT_TRUE(journal->Keep(Record("a"), error)) << error;
        ASSERT_TRUE(journal->Keep(Record("b"), error)) << error;
        ASSERT_TRUE(journal->Keep(Record("c"), error)) << error;
        ASSERT_TRUE(journal->Forget("b", error)) << error;
    }
    auto journal = Reopen();
    EXPECT_EQ(Ids(*journal), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(journal->Waiting().front().reasonText, "记录保存失败: 磁盘已满");
    ASSERT_TRUE(journal->Forget("a", error)) << error;
    ASSERT_TRUE(journal->Forget("c", error)) << error;
    // Nothing waits: the file is zeroes again, and new entries start over.
    ASSERT_TRUE(journal->Keep(Record("d"), error)) << error;
    EXPECT_EQ(Ids(*Reopen()), std::vector<std::string>{"d"});
}

TEST_F(RecordJournalTest, ALineCutShortIsNoRecordAndDamageIsNamed) {
    std::string error;
    ASSERT_TRUE(Reopen()->Keep(Record("a"), error)) << error;
    const auto size = std::filesystem::file_size(m_path);
    std::string text(size, '\0');
    std::ifstream(m_path, std::ios::binary).read(text.data(), static_cast<std::streamsize>(size));
    const std::size_t end = text.find('\0');
    struct Case {
        const char* name;
        std::string tail;  // written after the first entry
        bool opens;
        std::vector<std::string> ids;
    };
    const Case cases[] = {
        {"a kill in the middle of an entry", R"({"keep": ["b", "2026)", true, {"a"}},
        {"a line that is no entry", "{\"drop\": 1}\n", false, {}},
        {"a record of the wrong shape", "{\"keep\": [\"b\"]}\n", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string changed = text.substr(0, end) + c.tail;
        changed.resize(size, '\0');
        std::ofstream(m_path, std::ios::binary) << changed;
        auto journal = CRecordJournal::Open(m_path, error);
        ASSERT_EQ(journal != nullptr, c.opens) << error;
        if (journal)
            EXPECT_EQ(Ids(*journal), c.ids);
        else
            EXPECT_NE(error.find(m_path + ":2: not a journal entry"), std::string::npos) << error;
    }
}

TEST_F(RecordJournalTest, AFullJournalRefusesAndKeepsWhatItHolds) {
    auto journal = Reopen();
    std::string error;
    UnitRecord big = Record("big");
    big.reasonText.assign(kJournalBytes / 3, 'x');
    ASSERT_TRUE(journal->Keep(big, error)) << error;
    big.id = "big2";
    ASSERT_TRUE(journal->Keep(big, error)) << error;
    big.id = "big3";
    EXPECT_FALSE(journal->Keep(big, error));
    EXPECT_NE(error.find("full"), std::string::npos) << error;
    EXPECT_EQ(Ids(*journal), (std::vector<std::string>{"big", "big2"}));
    EXPECT_EQ(Ids(*Reopen()), (std::vector<std::string>{"big", "big2"}));
}

}  // namespace
