#include "station/board/record_detail.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "layouts/option_table.h"
#include "layouts/option_words.h"
#include "layouts/settings_json.h"
#include "records/record_words.h"
#include "station/board/local_time.h"
#include "station/engine/station_events.h"

namespace {

// The settings JSON of a record, read whole; none when it is not.
std::optional<DeviceSettings> ReadSettings(const std::string& text) {
    nlohmann::json json;
    std::string error;
    DeviceSettings settings;
    if (!ParseJsonWithoutDuplicates(text, json, error) || !SettingsFromJson(json, settings, error))
        return std::nullopt;
    return settings;
}

std::string OrDash(const std::string& text) {
    return text.empty() ? std::string("-") : text;
}

}  // namespace

std::vector<std::string> SettingsDiff(const std::string& before, const std::string& after) {
    const std::optional<DeviceSettings> b = ReadSettings(before);
    const std::optional<DeviceSettings> a = ReadSettings(after);
    std::vector<std::string> lines;
    if (!a || !b)
        return lines;
    for (const OptionInfo& o : Options()) {
        const std::string was = OptionValueWords(o, *b);
        const std::string now = OptionValueWords(o, *a);
        if (was != now)
            lines.push_back(OptionCaptionWithKey(o) + ": " + was + " -> " + now);
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
    line("开始: " + LocalTimeText(r.startTime, true) + "    用时: " + seconds);
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
