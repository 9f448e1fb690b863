#include "layouts/settings_json.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "layouts/option_table.h"
#include "settings_vectors.h"

namespace {

using nlohmann::json;

DeviceSettings Mixed() {
    DeviceSettings s = AllOnLastEntry();
    s.activePke = false;
    s.delayedWindowUpOnLock = false;
    s.keySenseWireMode = 5;
    s.crankTime = 0;
    s.doorHandleType = std::nullopt;
    s.lockWireOutput = std::nullopt;
    return s;
}

TEST(SettingsJson, RecordsSurviveTheRoundTrip) {
    for (const DeviceSettings& s : {DeviceSettings{}, AllOffFirstEntry(), Mixed()}) {
        const json j = SettingsToJson(s);
        DeviceSettings back = AllOnLastEntry();
        std::string error;
        ASSERT_TRUE(SettingsFromJson(j, back, error)) << error;
        EXPECT_EQ(back, s) << j.dump();
    }
}

TEST(SettingsJson, KeysAreFieldNamesWithBooleansIndexesAndNull) {
    const json j = SettingsToJson(Mixed());
    ASSERT_TRUE(j.is_object());
    EXPECT_EQ(j.size(), static_cast<std::size_t>(kOptionCount));
    EXPECT_EQ(j.at("activePke"), false);
    EXPECT_EQ(j.at("findCarLight"), true);
    EXPECT_EQ(j.at("keySenseWireMode"), 5);
    EXPECT_EQ(j.at("remoteCrankTime3"), 7);
    EXPECT_TRUE(j.at("doorHandleType").is_null());
    EXPECT_TRUE(j.at("lockWireOutput").is_null());
}

struct Refusal {
    const char* name;
    std::function<void(json&)> spoil;
    const char* mustMention;
};

TEST(SettingsJson, RefusesMalformedInputAndKeepsTheRecord) {
    const Refusal refusals[] = {
        {"array",
         [](json& j) {
             j = json::array({1, 2});
         },
         "object"},
        {"number", [](json& j) { j = 3; }, "object"},
        {"unknown key", [](json& j) { j["sunroof"] = true; }, "\"sunroof\""},
        {"missing key", [](json& j) { j.erase("hornOutputTime"); }, "\"hornOutputTime\""},
        {"flag as number", [](json& j) { j["activePke"] = 1; }, "\"activePke\""},
        {"flag as null", [](json& j) { j["unlockTwice"] = nullptr; }, "\"unlockTwice\""},
        {"selection as text", [](json& j) { j["crankTime"] = "0.7秒"; }, "\"crankTime\""},
        {"selection as boolean", [](json& j) { j["crankTime"] = true; }, "\"crankTime\""},
        {"selection as fraction", [](json& j) { j["crankTime"] = 1.0; }, "\"crankTime\""},
        {"index past the list", [](json& j) { j["crankTime"] = 5; }, "\"crankTime\""},
        {"negative index", [](json& j) { j["doorHandleType"] = -1; }, "\"doorHandleType\""},
        {"huge index", [](json& j) { j["lockWireOutput"] = 4294967296u; }, "\"lockWireOutput\""},
    };
    for (const Refusal& r : refusals) {
        json j = SettingsToJson(AllOffFirstEntry());
        r.spoil(j);
        DeviceSettings s = Mixed();
        std::string error;
        EXPECT_FALSE(SettingsFromJson(j, s, error)) << r.name;
        EXPECT_NE(error.find(r.mustMention), std::string::npos) << r.name << ": " << error;
        EXPECT_EQ(s, Mixed()) << r.name;
    }
}

}  // namespace

namespace {

TEST(SettingsJson, KeysTwiceInOneObjectAreRefused) {
    using namespace std::string_literals;
    struct Case {
        const char* text;
        std::string error;  // empty: accepted
    };
    const Case cases[] = {
        {R"({"a": 1, "b": 2})", ""},
        {R"({"a": {"x": 1}, "b": {"x": 2}})", ""},
        {R"([{"a": 1}, {"a": 2}])", ""},
        {R"({"a": 1, "b": 2, "a": 3})", "duplicate key \"a\""},
        {R"({"a": {"x": 1, "x": 1}})", "duplicate key \"x\""},
        // Named whole, NUL and all.
        {R"({"a\u0000b": 1, "a\u0000b": 2})", "duplicate key \"a\0b\""s},
        {R"({"a": 1,)", "not valid JSON"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        nlohmann::json json;
        std::string error;
        EXPECT_EQ(ParseJsonWithoutDuplicates(c.text, json, error), c.error.empty());
        EXPECT_EQ(error, c.error);
    }
}

}  // namespace
