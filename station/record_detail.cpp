#include "station/record_detail.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "station/station_events.h"
#include "station/station_words.h"

namespace {

std::optional<nlohmann::json> ParseObject(const std::string& text) {
    nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object())
        return std::nullopt;
    return json;
}

std::string ValueText(const nlohmann::json& object, const std::string& key) {
    const auto it = object.find(key);
    return it == object.end() ? std::string("-") : it->dump();
}

std::string OrDash(const std::string& text) {
    return text.empty() ? std::string("-") : text;
}

}  // namespace

std::vector<std::string> SettingsDiff(const std::string& before, const std::string& after) {
    const std::optional<nlohmann::json> b = ParseObject(before);
    const std::optional<nlohmann::json> a = ParseObject(after);
    std::vector<std::string> lines;
    if (!a || !b)
        return lines;
    const auto differs = [&](const std::string& key) {
        const std::string was = ValueText(*b, key);
        const std::string now = ValueText(*a, key);
        if (was != now)
            lines.push_back(key + ": " + was + " -> " + now);
    };
    for (const auto& [key, value] : a->items())
        differs(key);
    for (const auto& [key, value] : b->items()) {
        if (!a->contains(key))
            differs(key);
    }
    return lines;
}

std::string RecordDetailText(const UnitRecord& r) {
    std::string text;
    const auto line = [&](const std::string& s) { text += s + "\n"; };
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f s", UnitSeconds(r));

    line(std::string("结果: ") + ResultWords(r.result) + (r.retry ? " (重试)" : "") +
         (r.rework ? " (返工)" : ""));
    if (r.result != UnitResult::Pass) {
        line("失败步骤: " + StepWords(r.failedStep));
        line("原因: " + ReasonWords(r.reasonCode) + " (" + OrDash(r.reasonCode) + ")");
        if (!r.reasonText.empty())
            line("说明: " + r.reasonText);
    }
    line("序列号: " + OrDash(r.serial) + "    工位: " + OrDash(r.slot));
    line("配方: " + r.recipeName + " (" + r.variant + ")");
    if (!r.bundleId.empty()) {
        // "Release bundle: number N, signer KEY, bundle ID[, rollback]".
        line("发布包: 版本号 " + std::to_string(r.releaseNumber) +
             "    签名密钥: " + r.signerKeyId + (r.rollback ? "    (回退)" : ""));
        line("发布包标识: " + r.bundleId);
    }
    line("开始: " + r.startTime + "    用时: " + seconds);
    line("版本: " + OrDash(r.versionBefore) + " -> " + OrDash(r.versionAfter));
    line("端口: " + OrDash(r.portDevice) + "    工具版本: " + OrDash(r.toolVersion));
    line("");

    line("配置变化:");
    const std::vector<std::string> diff = SettingsDiff(r.settingsBefore, r.settingsAfter);
    if (diff.empty())
        line("  (无)");
    for (const std::string& d : diff)
        line("  " + d);
    line("");

    line("步骤用时:");
    for (const StepRecord& s : r.steps) {
        char ms[32];
        std::snprintf(ms, sizeof ms, "%u ms", s.durationMs);
        line(std::string("  ") + (s.ok ? "✔ " : "✘ ") + StepWords(s.name) + "  " + ms);
    }
    if (!r.frameTrace.empty()) {
        line("");
        line("最后的帧 (旧→新):");
        for (const std::string& frame : r.frameTrace)
            line("  " + frame);
    }
    return text;
}
