// read-settings, write-settings and factory-reset.

#include <filesystem>
#include <nlohmann/json.hpp>

#include "base/bytes_text.h"
#include "cli_fixture.h"
#include "layouts/option_table.h"
#include "layouts/settings_codec.h"
#include "layouts/settings_json.h"
#include "link/command_codes.h"

namespace {

std::string Hex(const Bytes& bytes) {
    return BytesToHex(bytes.data(), bytes.size());
}

// The record the box's three blocks stand for, as a read decodes them.
DeviceSettings Decoded(const CBoxSimulator& box) {
    DeviceSettings s;
    const Bytes lead(3, 0);
    void (*decoders[])(const std::uint8_t*, std::uint32_t, DeviceSettings&) = {
        DecodeConfigBlock1, DecodeConfigBlock2, DecodeConfigBlock3};
    for (int block = 1; block <= 3; ++block) {
        Bytes reply = lead;
        const Bytes data = box.ConfigBlock(block);
        reply.insert(reply.end(), data.begin(), data.end());
        decoders[block - 1](reply.data(), static_cast<std::uint32_t>(reply.size()), s);
    }
    return s;
}

// A whole record unlike the box's factory settings (every flag off, every
// list at its first entry): every flag on, every selection at the last entry
// of its list that has a code of its own, so the record survives a round trip.
DeviceSettings Distinct() {
    DeviceSettings s;
    for (const OptionInfo& o : Options()) {
        if (o.IsFlag()) {
            s.*o.flag = true;
            continue;
        }
        int last = static_cast<int>(o.entries.size()) - 1;
        while (last > 0 && o.entries[static_cast<std::size_t>(last)].code == kNoCode)
            --last;
        s.*o.selection = last;
    }
    return s;
}

template <std::size_t N>
Bytes ToBytes(const std::array<std::uint8_t, N>& a) {
    return Bytes(a.begin(), a.end());
}

}  // namespace

TEST_F(CliTest, ReadSettingsPrintsTheDigitsThenTheJson) {
    const CliResult r = Cli({"read-settings"});
    const std::string status =
        "status: " + Hex(m_box.ConfigBlock(1)) + Hex(m_box.ConfigBlock(2)) + "\n";
    ASSERT_EQ(r.out.substr(0, status.size()), status) << r.out;
    const nlohmann::json json = nlohmann::json::parse(r.out.substr(status.size()), nullptr, false);
    EXPECT_EQ(json, SettingsToJson(Decoded(m_box))) << r.out;
    EXPECT_EQ(r.exitCode, 0);
}

TEST_F(CliTest, ReadSettingsToAFileKeepsStdoutToTheStatus) {
    m_box.SetConfigBlock(1, ToBytes(EncodeConfigBlock1(Distinct())));
    const CliResult r = Cli({"read-settings", "-o", "panel.json"});
    EXPECT_EQ(r.out, Lines({"status: " + Hex(m_box.ConfigBlock(1)) + Hex(m_box.ConfigBlock(2))}));
    EXPECT_EQ(nlohmann::json::parse(ReadText(InWork("panel.json")), nullptr, false),
              SettingsToJson(Decoded(m_box)));
    EXPECT_EQ(r.exitCode, 0);
}

TEST_F(CliTest, ReadSettingsWithAFailedBlockPrintsNoJson) {
    SimOverride refuse;
    refuse.resultWord = kRefusal;
    // A reply shorter than the block, such as a frame of the box's own taken
    // for the reply (55 AA and a counter).
    SimOverride shortReply;
    shortReply.replyData = Bytes{0x55, 0xAA, 0x07};
    const std::string refused = std::string("status: ") + kRefusalText;
    const std::string tooShort = "status: 错误:EF04";
    struct Case {
        const char* name;
        std::uint16_t command;
        const SimOverride& reply;
        std::vector<std::string> expected;
    };
    const std::string block2 = Hex(m_box.ConfigBlock(2));
    const std::string both = Hex(m_box.ConfigBlock(1)) + block2;
    const Case cases[] = {
        {"first", CMD_CONFIG_READ_1, refuse, {refused, refused + block2}},
        {"second", CMD_CONFIG_READ_2, refuse, {refused}},
        {"third", CMD_CONFIG_READ_3, refuse, {"status: " + both, refused}},
        {"first short", CMD_CONFIG_READ_1, shortReply, {tooShort, tooShort + block2}},
        {"third short", CMD_CONFIG_READ_3, shortReply, {"status: " + both, tooShort}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_box.ClearOverrides();
        m_box.SetOverride(c.command, c.reply);
        const CliResult r = Cli({"read-settings", "-o", "panel.json"});
        EXPECT_EQ(r.out, Lines(c.expected));
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_FALSE(std::filesystem::exists(InWork("panel.json")));
        const CliResult toStdout = Cli({"read-settings"});
        EXPECT_EQ(toStdout.out, Lines(c.expected));
        EXPECT_EQ(toStdout.exitCode, 1);
    }
}

TEST_F(CliTest, WriteSettingsWritesAllThreeBlocks) {
    const DeviceSettings wanted = Distinct();
    WriteText(InWork("wanted.json"), SettingsToJson(wanted).dump());
    const CliResult r = Cli({"write-settings", "wanted.json"});
    EXPECT_EQ(r.out,
              Lines({"status: 写入设置成功", "status: 写入设置成功", "status: 写入设置成功"}));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(m_box.ConfigBlock(1), ToBytes(EncodeConfigBlock1(wanted)));
    EXPECT_EQ(m_box.ConfigBlock(2), ToBytes(EncodeConfigBlock2(wanted)));
    EXPECT_EQ(m_box.ConfigBlock(3), ToBytes(EncodeConfigBlock3(wanted)));
}

TEST_F(CliTest, WriteSettingsWithARefusedBlockFails) {
    struct Case {
        const char* name;
        std::uint16_t refused;
        std::vector<std::string> expected;
    };
    const std::string ok = "status: 写入设置成功";
    const std::string refused = std::string("status: ") + kRefusalText;
    const Case cases[] = {
        {"first", CMD_CONFIG_WRITE_1, {refused, ok, ok}},
        {"second", CMD_CONFIG_WRITE_2, {ok, refused, ok}},
        {"third", CMD_CONFIG_WRITE_3, {ok, ok, refused}},
    };
    WriteText(InWork("wanted.json"), SettingsToJson(Distinct()).dump());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_box.ClearOverrides();
        SimOverride refuse;
        refuse.resultWord = kRefusal;
        m_box.SetOverride(c.refused, refuse);
        const CliResult r = Cli({"write-settings", "wanted.json"});
        EXPECT_EQ(r.out, Lines(c.expected));
        EXPECT_EQ(r.exitCode, 1);
    }
}

TEST_F(CliTest, WriteSettingsRefusesBadFilesWithoutSending) {
    const nlohmann::json good = SettingsToJson(Distinct());
    auto with = [&good](const char* key, nlohmann::json value) {
        nlohmann::json j = good;
        j[key] = std::move(value);
        return j.dump();
    };
    const std::string goodText = good.dump();
    // The record with a key of its own put first (as raw JSON text).
    auto withRawKeyFirst = [&goodText](const std::string& member) {
        return "{" + member + "," + goodText.substr(1);
    };
    const int lastDoorHandle =
        static_cast<int>(FindOptionByField("doorHandleType")->entries.size()) - 1;
    struct Case {
        const char* name;
        std::optional<std::string> content;  // none: the file does not exist
        const char* messageHolds;
        const char* messageLacks = nullptr;
        bool folder = false;  // a folder stands where the file should be
    };
    // What the tool checks itself (the file, its JSON, duplicate keys, a
    // null selection) and one of the settings reader's refusals, whose every
    // kind SettingsJson.RefusesMalformedInputAndKeepsTheRecord covers.
    const std::string nullRefusal = "key \"doorHandleType\" must be an index from 0 to " +
                                    std::to_string(lastDoorHandle) + ", not null";
    const Case cases[] = {
        {"missing file", std::nullopt, "settings.json: can't read the file: No such file"},
        {"a folder", std::nullopt, "settings.json: can't read the file: not a regular file",
         nullptr, true},
        {"not JSON", "{\"activePke\": tru", "JSON"},
        {"reader refuses", with("sunroofAutoClose", true), "sunroofAutoClose"},
        {"selection null", with("doorHandleType", nullptr), nullRefusal.c_str(), "or null"},
        {"selection out of range", with("doorHandleType", lastDoorHandle + 1), "doorHandleType",
         "or null"},
        {"a key twice", withRawKeyFirst("\"activePke\": false"), "duplicate key \"activePke\""},
        {"a key with a NUL", withRawKeyFirst("\"active\\u0000Pke\": true"),
         "unknown key \"active\\x00Pke\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(InWork("settings.json"));
        if (c.content)
            WriteText(InWork("settings.json"), *c.content);
        if (c.folder)
            std::filesystem::create_directory(InWork("settings.json"));
        const CliResult r = Cli({"write-settings", "settings.json"});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.messageHolds), std::string::npos) << r.err;
        if (c.messageLacks != nullptr) {
            EXPECT_EQ(r.err.find(c.messageLacks), std::string::npos) << r.err;
        }
        EXPECT_TRUE(m_box.Requests().empty());
    }
    // Refused before the tool set itself up: not even the Prg folder appeared.
    EXPECT_FALSE(std::filesystem::exists(InWork("Prg")));
}

TEST_F(CliTest, ReadSettingsRefusesAnUnwritableOutputWithoutSending) {
    const CliResult r = Cli({"read-settings", "-o", "no-such-folder/panel.json"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("no-such-folder/panel.json"), std::string::npos);
    EXPECT_TRUE(m_box.Requests().empty());
}

TEST_F(CliTest, WhatReadSettingsSavesWriteSettingsWritesBack) {
    const DeviceSettings wanted = Distinct();
    m_box.SetConfigBlock(1, ToBytes(EncodeConfigBlock1(wanted)));
    m_box.SetConfigBlock(2, ToBytes(EncodeConfigBlock2(wanted)));
    m_box.SetConfigBlock(3, ToBytes(EncodeConfigBlock3(wanted)));
    ASSERT_EQ(Cli({"read-settings", "-o", "saved.json"}).exitCode, 0);
    ASSERT_EQ(Cli({"factory-reset"}).exitCode, 0);
    ASSERT_NE(m_box.ConfigBlock(2), ToBytes(EncodeConfigBlock2(wanted)));
    const CliResult r = Cli({"write-settings", "saved.json"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(m_box.ConfigBlock(1), ToBytes(EncodeConfigBlock1(wanted)));
    EXPECT_EQ(m_box.ConfigBlock(2), ToBytes(EncodeConfigBlock2(wanted)));
    EXPECT_EQ(m_box.ConfigBlock(3), ToBytes(EncodeConfigBlock3(wanted)));
}

TEST_F(CliTest, FactoryResetReportsTheBoxsAnswer) {
    const Bytes factory = m_box.ConfigBlock(2);
    m_box.SetConfigBlock(2, ToBytes(EncodeConfigBlock2(Distinct())));
    const CliResult ok = Cli({"factory-reset"});
    EXPECT_EQ(ok.out, Lines({"status: 恢复出厂设置成功"}));
    EXPECT_EQ(ok.exitCode, 0);
    EXPECT_EQ(m_box.ConfigBlock(2), factory);

    SimOverride refuse;
    refuse.resultWord = kRefusal;
    m_box.SetOverride(CMD_FACTORY_RESET, refuse);
    const CliResult refused = Cli({"factory-reset"});
    EXPECT_EQ(refused.out, Lines({std::string("status: ") + kRefusalText}));
    EXPECT_EQ(refused.exitCode, 1);
}
