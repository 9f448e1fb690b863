#include "firmware/file_transfer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "firmware_sim_fixture.h"
#include "layouts/transfer_packets.h"
#include "link/command_codes.h"
#include "link/frame_codec.h"

namespace {

constexpr char kSent[] = "文件发送完成.";
constexpr char kSendFailed[] = "文件发送失败.";
constexpr char kCannotOpen[] = "无法打开指定文件.";
constexpr char kJumping[] = "正在装载 ...";

std::string Progress(std::uint32_t done, std::uint32_t total) {
    return "文件发送中" + std::to_string(done) + "/" + std::to_string(total) + "  ....";
}

Bytes FileBytes(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>((i * 37) ^ (i >> 8));
    return b;
}

class DownloadTest : public FirmwareSimTest {
protected:
    // Writes the file and names it in the target-file field.
    void ChooseFile(const Bytes& bytes) {
        const std::string path = m_workDir + "/target.bin";
        WriteFile(path, bytes);
        m_model->SetItemText(IDC_TARGET_FILE, path);
    }
};

struct DownloadCase {
    const char* name;
    std::size_t size;
    int slot;
    const char* addressField;  // information block bytes 0..3, hex
    const char* lengthField;   // information block bytes 6..9, hex
    std::vector<std::pair<std::uint32_t, std::uint32_t>> packets;  // offset from load address, n
    std::vector<std::string> progressTexts;
};

std::string Hex(const std::uint8_t* p, std::size_t n) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += kDigits[p[i] >> 4];
        s += kDigits[p[i] & 15];
    }
    return s;
}

TEST_F(DownloadTest, SendsInformationBlockThenTheFile) {
    const DownloadCase cases[] = {
        {"1000 bytes to slot 1",
         1000,
         1,
         "00C00300",
         "E8030000",
         {{0x100, 256}, {0x200, 256}, {0x300, 256}, {0x400, 232}},
         {Progress(256, 1000), Progress(512, 1000), Progress(768, 1000)}},
        {"512 bytes to slot 0",
         512,
         0,
         "00E00100",
         "00020000",
         {{0x100, 256}, {0x200, 256}},
         {Progress(256, 512)}},
        {"empty file to slot 5", 0, 5, "00400B00", "00000000", {{0x100, 0}}, {}},
    };
    StartBox();
    for (const DownloadCase& c : cases) {
        SCOPED_TRACE(c.name);
        m_sim.ClearRequests();
        m_log.Clear();
        const Bytes file = FileBytes(c.size);
        ChooseFile(file);
        m_model->ComboSetCurSel(IDC_LOAD_ADDRESS, c.slot);

        OnSendFile(*m_host);

        const auto requests = m_sim.Requests();
        ASSERT_EQ(requests.size(), 1 + c.packets.size());
        for (const SimRequest& r : requests)
            EXPECT_EQ(r.command, CMD_FILE_DATA);

        const Bytes& info = requests[0].data;
        ASSERT_EQ(info.size(), 262u);
        EXPECT_EQ(Hex(&info[0], 4), c.addressField);
        EXPECT_EQ(Hex(&info[4], 2), "0100");
        EXPECT_EQ(Hex(&info[6], 4), c.lengthField);
        Sha1Digest digest{};
        ASSERT_TRUE(ComputeSha1(file.data(), file.size(), digest));
        EXPECT_EQ(Bytes(info.begin() + 10, info.begin() + 30), Bytes(digest.begin(), digest.end()));
        EXPECT_EQ(Bytes(info.begin() + 30, info.end()), Bytes(232, 0));

        const std::uint32_t load = LoadAddressForIndex(c.slot);
        for (std::size_t i = 0; i < c.packets.size(); ++i) {
            const Bytes& p = requests[i + 1].data;
            ASSERT_GE(p.size(), 6u);
            EXPECT_EQ(ReadLittleEndian32(&p[0]), load + c.packets[i].first) << i;
            EXPECT_EQ(ReadBigEndian16(&p[4]), c.packets[i].second) << i;
            EXPECT_EQ(p.size(), c.packets[i].second + 6u) << i;
        }

        // The box's own check: the bytes arrived in place and match the digest.
        const SimLoadSlot slot = m_sim.Slot(c.slot);
        EXPECT_TRUE(slot.infoReceived);
        EXPECT_EQ(slot.data, file);
        EXPECT_TRUE(slot.sha1Matches);

        std::vector<std::string> texts = c.progressTexts;
        texts.push_back(kSent);
        EXPECT_EQ(m_log.Texts(IDC_STATUS), texts);
        EXPECT_EQ(m_log.Visibility(IDC_PROGRESS), (std::vector<bool>{true, false}));
        EXPECT_EQ(m_log.Progress().size(), c.progressTexts.size());
    }
}

// Only the link's status counts for a download packet: a box answering with
// a result word of its own still gets the whole file.
TEST_F(DownloadTest, ResultWordsOfDataPacketsAreIgnored) {
    StartBox();
    ChooseFile(FileBytes(300));
    SimOverride refuse;
    refuse.resultWord = 0x1234;
    m_sim.SetOverride(CMD_FILE_DATA, refuse);

    OnSendFile(*m_host);

    EXPECT_EQ(m_sim.Requests().size(), 3u);
    EXPECT_EQ(Text(IDC_STATUS), kSent);
}

// A load-address list showing no entry (the operator typed over it) names no
// address: Send and Jump refuse and send nothing, rather than loading at 0.
TEST_F(DownloadTest, NoSlotSelectedSendsNothing) {
    StartBox();
    ChooseFile(FileBytes(300));
    m_model->ComboSetCurSel(IDC_LOAD_ADDRESS, -1);
    for (OpResult (*handler)(IDialogHost&) : {&OnSendFile, &OnJump}) {
        m_model->SetItemText(IDC_STATUS, "before");
        handler(*m_host);
        EXPECT_TRUE(m_sim.Requests().empty());
        EXPECT_EQ(Text(IDC_STATUS), "请先选择装载地址");
    }
}

TEST_F(DownloadTest, UnopenableFileSendsNothing) {
    std::filesystem::create_directory("folder.bin");
    const std::string cases[] = {"", m_workDir + "/missing.bin", m_workDir + "/folder.bin"};
    StartBox();
    for (const std::string& path : cases) {
        SCOPED_TRACE(path);
        m_model->SetItemText(IDC_STATUS, "before");
        m_model->SetItemText(IDC_TARGET_FILE, path);
        OnSendFile(*m_host);
        EXPECT_EQ(Text(IDC_STATUS), kCannotOpen);
    }
    EXPECT_TRUE(m_sim.Requests().empty());
}

TEST_F(DownloadTest, PacketWithoutValidReplyEndsTheDownload) {
    struct Case {
        const char* name;
        std::size_t failingRequest;  // 0: the information block
    };
    const Case cases[] = {{"information block", 0}, {"second data packet", 2}};
    StartBox();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_sim.ClearRequests();
        m_log.Clear();
        // Corrupt the reply to the chosen request: the hook runs before the
        // request ahead of it is answered, so it arms the override just in time.
        std::size_t seen = 0;
        auto arm = [&] {
            SimOverride o;
            o.badChecksum = true;
            o.times = 1;
            m_sim.SetOverride(CMD_FILE_DATA, o);
        };
        if (c.failingRequest == 0) {
            arm();
        } else {
            m_sim.SetRequestHook([&, target = c.failingRequest](const SimRequest&) {
                if (++seen == target)
                    arm();
            });
        }
        ChooseFile(FileBytes(1000));

        OnSendFile(*m_host);
        m_sim.SetRequestHook(nullptr);

        EXPECT_EQ(m_sim.Requests().size(), c.failingRequest + 1);
        const auto texts = m_log.Texts(IDC_STATUS);
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts.back(), kSendFailed);
        EXPECT_EQ(texts.size(), c.failingRequest == 0 ? 1u : c.failingRequest);
        EXPECT_FALSE(m_model->IsItemVisible(IDC_PROGRESS));
    }
}

TEST_F(DownloadTest, JumpGoesToTheSelectedSlot) {
    const std::pair<int, std::uint32_t> cases[] = {{5, 0x000B4000}, {0, 0x0001E000}};
    StartBox();
    for (const auto& [slot, address] : cases) {
        SCOPED_TRACE(slot);
        m_sim.ClearRequests();
        m_model->SetItemText(IDC_STATUS, "before");
        m_model->ComboSetCurSel(IDC_LOAD_ADDRESS, slot);
        OnJump(*m_host);
        const auto requests = m_sim.Requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].command, CMD_JUMP);
        const auto expected = BuildJumpRequest(address);
        EXPECT_EQ(requests[0].data, Bytes(expected.begin(), expected.end()));
        EXPECT_EQ(m_sim.LastJumpAddress(), address);
        EXPECT_EQ(Text(IDC_STATUS), kJumping);
    }
}

TEST_F(DownloadTest, JumpWithoutValidReplyShowsNothing) {
    StartBox();
    SimOverride o;
    o.badChecksum = true;
    m_sim.SetOverride(CMD_JUMP, o);
    m_model->SetItemText(IDC_STATUS, "before");
    OnJump(*m_host);
    EXPECT_EQ(m_sim.Requests().size(), 1u);
    EXPECT_EQ(Text(IDC_STATUS), "before");
}

}  // namespace
