#include "cli/cli_recipe_check.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "cli/cli_options.h"
#include "cli/cli_text_escape.h"
#include "layouts/option_table.h"
#include "layouts/option_words.h"
#include "layouts/settings_json.h"
#include "station/config/recipe.h"

namespace {

constexpr char kRecipeCommand[] = "recipe";
constexpr char kCheckAction[] = "check";
constexpr char kJsonOption[] = "--json";

constexpr OptionRow kRecipeOptions[] = {{kJsonOption, OptionValue::None}};

constexpr char kRecipeHelp[] =
    R"(Usage: vornak-cli recipe check RECIPE [--json]

Checks RECIPE as the station does before it touches a box (syntax, keys,
types, option names and index ranges, slots, files readable, sha256 pins)
and prints what it gives every box: the recipe's SHA-256, the firmware
package and each download with their SHA-256, the settings base and the
configuration (for base "factory" all options, the factory configuration
with the recipe's options, and the settings_after_sha256 every passing unit
records; for base "box" the recipe's options only).

  --json   one JSON object instead of lines

Exit status: 0 the recipe passed every check, 2 it did not or usage error.
)";

const char* BaseName(SettingsBase base) {
    return base == SettingsBase::Factory ? "factory" : "box";
}

// The options the recipe decides, with their values: all of them for a
// factory-based recipe, the named ones for a box-based one.
std::vector<const OptionInfo*> DecidedOptions(const Recipe& recipe) {
    if (recipe.settingsBase == SettingsBase::Box)
        return recipe.settingOptions;
    std::vector<const OptionInfo*> all;
    for (const OptionInfo& o : Options())
        all.push_back(&o);
    return all;
}

DeviceSettings DecidedValues(const Recipe& recipe) {
    const std::optional<DeviceSettings> complete = CompleteSettings(recipe);
    return complete ? *complete : recipe.settingValues;
}

nlohmann::json RecipeJson(const Recipe& recipe) {
    nlohmann::json j;
    j["recipe"] = recipe.path;
    j["name"] = recipe.name;
    j["variant"] = recipe.variant;
    j["sha256"] = recipe.sha256;
    j["firmware"] = nullptr;
    if (recipe.firmware) {
        j["firmware"] = {{"package", recipe.firmware->package},
                         {"sha256", recipe.firmware->sha256},
                         {"version", recipe.firmware->version}};
    }
    j["downloads"] = nlohmann::json::array();
    for (const RecipeDownload& d : recipe.downloads) {
        j["downloads"].push_back(
            {{"file", d.file}, {"slot", d.slot}, {"sha256", d.sha256}, {"jump", d.jump}});
    }
    j["settings_base"] = BaseName(recipe.settingsBase);
    const DeviceSettings values = DecidedValues(recipe);
    const nlohmann::json valueJson = SettingsToJson(values);
    j["settings"] = nlohmann::json::array();
    for (const OptionInfo* o : DecidedOptions(recipe)) {
        const std::string key(o->field);
        j["settings"].push_back({{"key", key},
                                 {"caption", std::string(o->caption)},
                                 {"value", valueJson[key]},
                                 {"words", OptionValueWords(*o, values)}});
    }
    const std::string digest = ExpectedSettingsSha256(recipe);
    j["settings_sha256"] = digest.empty() ? nlohmann::json(nullptr) : nlohmann::json(digest);
    return j;
}

void PrintLines(const Recipe& recipe, std::FILE* out) {
    const auto line = [out](const std::string& text) {
        std::fprintf(out, "%s\n", EscapeForOutput(text).c_str());
    };
    line("recipe: " + recipe.path);
    line("name: " + recipe.name);
    line("variant: " + recipe.variant);
    line("sha256: " + recipe.sha256);
    if (recipe.firmware) {
        line("firmware: " + recipe.firmware->package + " sha256 " + recipe.firmware->sha256 +
             " version " + recipe.firmware->version);
    }
    for (const RecipeDownload& d : recipe.downloads) {
        line("download: " + d.file + " slot " + std::to_string(d.slot) + " sha256 " + d.sha256 +
             (d.jump ? " jump" : ""));
    }
    line(std::string("settings_base: ") + BaseName(recipe.settingsBase));
    const DeviceSettings values = DecidedValues(recipe);
    for (const OptionInfo* o : DecidedOptions(recipe))
        line("setting: " + OptionCaptionWithKey(*o) + ": " + OptionValueWords(*o, values));
    if (const std::string digest = ExpectedSettingsSha256(recipe); !digest.empty())
        line("settings_sha256: " + digest);
}

int RunRecipe(const CCommandLine& line, std::FILE* out, std::FILE* err) {
    const std::vector<std::string>& words = line.Words();
    if (words.size() != 2 || words[0] != kCheckAction)
        return SubcommandUsageError(err, kRecipeCommand, "recipe needs: check RECIPE");
    Recipe recipe;
    std::string error;
    if (!LoadRecipe(words[1], recipe, error)) {
        PrintCliMessage(err, error);
        return kExitUsage;
    }
    if (line.Has(kJsonOption))
        std::fprintf(out, "%s\n",
                     RecipeJson(recipe)
                         .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                         .c_str());
    else
        PrintLines(recipe, out);
    return kExitSuccess;
}

}  // namespace

CliSubcommand RecipeSubcommand() {
    return {kRecipeCommand, kRecipeOptions, kRecipeHelp, RunRecipe};
}
