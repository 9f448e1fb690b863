#include "station/config/recipe.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <set>

#include "base/regular_file.h"
#include "base/utf8_text.h"
#include "layouts/file_image.h"
#include "layouts/option_table.h"
#include "layouts/settings_json.h"
#include "layouts/transfer_packets.h"
#include "station/config/digest.h"
#include "station/config/toml_file.h"

namespace {

// Why `path` did not open: "not a regular file" for a FIFO, a device or a
// folder, else the system's reason. Asked again, as the open never waits.
std::string OpenFailureText(const std::string& path) {
    const CFileDescriptor file(OpenRegularFile(path));
    return FileErrorText(file.Get() < 0 ? errno : EIO);
}

namespace fs = std::filesystem;

// The longest file a download to `slot` may send: what fits above the slot's
// load address in the box's 32-bit address space, and never more than
// kMaxRecipeFileBytes.
std::uint64_t DownloadRoom(int slot) {
    const std::uint64_t above =
        (std::uint64_t{1} << 32) - LoadAddressForIndex(slot) - kFileDataOffset;
    return std::min(above, kMaxRecipeFileBytes);
}

// Keys each table may hold.
const std::set<std::string> kTopKeys = {"name", "variant", "firmware", "settings", "download"};
const std::set<std::string> kFirmwareKeys = {"package", "sha256", "version"};
const std::set<std::string> kDownloadKeys = {"file", "slot", "sha256", "jump", "ignore_result"};

// [settings] `base`: what the options are laid over.
constexpr char kBaseKey[] = "base";
constexpr char kBaseFactory[] = "factory";
constexpr char kBaseBox[] = "box";

// Throws out of the checks with the message; caught once in LoadRecipe.
struct RecipeError {
    std::string message;
};

class CRecipeReader {
public:
    CRecipeReader(std::string path, Recipe& recipe)
        : m_path(std::move(path)), m_dir(fs::path(m_path).parent_path()), m_recipe(recipe) {}

    void Read() {
        std::string bytes;
        toml::table root;
        std::string error;
        if (!ReadTomlFile(m_path, bytes, root, error))
            throw RecipeError{error};
        m_recipe = Recipe{};
        m_recipe.path = m_path;
        m_recipe.sha256 = Sha256Hex(bytes);
        CheckKeys(root, kTopKeys, "");
        m_recipe.name = RequiredString(root, "name", "");
        m_recipe.variant = RequiredString(root, "variant", "");
        if (const toml::node* n = root.get("firmware"))
            ReadFirmware(*Table(*n, "firmware"));
        if (const toml::node* n = root.get("settings"))
            ReadSettings(*Table(*n, "settings"));
        if (const toml::node* n = root.get("download"))
            ReadDownloads(*n);
    }

private:
    [[noreturn]] void Fail(const toml::node* node, const std::string& key,
                           const std::string& what) const {
        throw RecipeError{TomlErrorText(m_path, node, key, what)};
    }

    static std::string Join(const std::string& prefix, const std::string& key) {
        return prefix.empty() ? key : prefix + "." + key;
    }

    void CheckKeys(const toml::table& table, const std::set<std::string>& allowed,
                   const std::string& prefix) const {
        for (auto&& [key, node] : table) {
            const std::string name(key.str());
            if (!allowed.contains(name))
                Fail(&node, Join(prefix, name), "unknown key");
        }
    }

    const toml::table* Table(const toml::node& node, const std::string& key) const {
        const toml::table* table = node.as_table();
        if (table == nullptr)
            Fail(&node, key, "must be a table");
        return table;
    }

    std::string RequiredString(const toml::table& table, const std::string& key,
                               const std::string& prefix) const {
        const toml::node* node = table.get(key);
        if (node == nullptr)
            Fail(&table, Join(prefix, key), "missing");
        const auto value = node->value<std::string>();
        if (!node->is_string() || !value)
            Fail(node, Join(prefix, key), "must be a string");
        if (value->empty())
            Fail(node, Join(prefix, key), "must not be empty");
        // An escape in the file can put any character here; a control
        // character would end up in records, result lines and file names.
        if (const std::string control = FirstControlCharacter(*value); !control.empty())
            Fail(node, Join(prefix, key),
                 "must hold no NUL or control character (" + control + ")");
        // Nor one a reader cannot see or that turns the text around it
        // (U+202E, U+2028, U+FEFF): two names that look alike must differ.
        if (const std::string invisible = FirstInvisibleCharacter(*value); !invisible.empty())
            Fail(node, Join(prefix, key),
                 "must hold no invisible or direction-changing character (" + invisible + ")");
        return *value;
    }

    // The optional pin, lower-cased; empty when absent.
    std::string Pin(const toml::table& table, const std::string& prefix) const {
        const toml::node* node = table.get("sha256");
        if (node == nullptr)
            return {};
        const auto value = node->value<std::string>();
        if (!node->is_string() || !value || !IsSha256Hex(*value))
            Fail(node, Join(prefix, "sha256"), "must be 64 hexadecimal digits");
        std::string pin = *value;
        std::transform(pin.begin(), pin.end(), pin.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return pin;
    }

    // The file at `key` of `table`, resolved against the recipe's folder,
    // read whole unless longer than `maxBytes` (`what` says whose limit that
    // is); its digest checked against the table's pin.
    std::string ReadFile(const toml::table& table, const std::string& key,
                         const std::string& prefix, std::uint64_t maxBytes, const std::string& what,
                         std::vector<std::uint8_t>& image, std::string& sha256) const {
        const std::string named = RequiredString(table, key, prefix);
        const fs::path given(named);
        const std::string path = (given.is_absolute() ? given : m_dir / given).lexically_normal();
        const toml::node* node = table.get(key);
        switch (ReadFileImage(path, image, maxBytes)) {
            case ImageLoad::Ok:
                break;
            case ImageLoad::OpenFailed:
                Fail(node, Join(prefix, key), "cannot open " + path + ": " + OpenFailureText(path));
            case ImageLoad::NoMemory:
            case ImageLoad::ShortRead:
                Fail(node, Join(prefix, key), "cannot read " + path);
            case ImageLoad::TooLarge:
                Fail(node, Join(prefix, key),
                     path + " is larger than " + std::to_string(maxBytes) + " bytes, " + what);
        }
        sha256 = Sha256Hex(image.data(), image.size());
        const std::string pin = Pin(table, prefix);
        if (!pin.empty() && pin != sha256)
            Fail(table.get("sha256"), Join(prefix, "sha256"),
                 "does not match " + path + " (its SHA-256 is " + sha256 + ")");
        return path;
    }

    void ReadFirmware(const toml::table& table) {
        CheckKeys(table, kFirmwareKeys, "firmware");
        RecipeFirmware fw;
        std::vector<std::uint8_t> image;
        fw.package = ReadFile(table, "package", "firmware", kMaxRecipeFileBytes,
                              "the most a package may have", image, fw.sha256);
        if (image.size() < UpgradeHeaderLength(image))
            Fail(table.get("package"), "firmware.package",
                 fw.package + " is shorter than a package header");
        fw.version = RequiredString(table, "version", "firmware");
        fw.bytes = std::make_shared<const std::vector<std::uint8_t>>(std::move(image));
        m_recipe.firmware = fw;
    }

    void ReadSettings(const toml::table& table) {
        std::set<const OptionInfo*> named;
        for (auto&& [key, node] : table) {
            const std::string field(key.str());
            const std::string where = "settings." + field;
            if (field == kBaseKey) {
                ReadBase(node, where);
                continue;
            }
            const OptionInfo* o = FindOptionByField(field);
            if (o == nullptr)
                Fail(&node, where, "unknown option");
            if (o->IsFlag()) {
                const auto value = node.value<bool>();
                if (!node.is_boolean() || !value)
                    Fail(&node, where, "must be true or false");
                m_recipe.settingValues.*o->flag = *value;
            } else {
                const int last = static_cast<int>(o->entries.size()) - 1;
                const auto value = node.value<std::int64_t>();
                if (!node.is_integer() || !value || *value < 0 || *value > last)
                    Fail(&node, where, "must be an index from 0 to " + std::to_string(last));
                m_recipe.settingValues.*o->selection = static_cast<int>(*value);
            }
            named.insert(o);
        }
        for (const OptionInfo& o : Options()) {
            if (named.contains(&o))
                m_recipe.settingOptions.push_back(&o);
        }
    }

    void ReadBase(const toml::node& node, const std::string& where) {
        const auto value = node.value<std::string>();
        if (node.is_string() && value == kBaseFactory) {
            m_recipe.settingsBase = SettingsBase::Factory;
        } else if (node.is_string() && value == kBaseBox) {
            m_recipe.settingsBase = SettingsBase::Box;
        } else {
            Fail(&node, where,
                 std::string("must be \"") + kBaseFactory + "\" or \"" + kBaseBox + "\"");
        }
    }

    void ReadDownloads(const toml::node& node) {
        const toml::array* entries = node.as_array();
        if (entries == nullptr)
            Fail(&node, "download", "must be an array of tables ([[download]])");
        for (std::size_t i = 0; i < entries->size(); ++i) {
            const toml::node& entry = *entries->get(i);
            const std::string prefix = "download[" + std::to_string(i + 1) + "]";
            const toml::table* table = Table(entry, prefix);
            CheckKeys(*table, kDownloadKeys, prefix);
            RecipeDownload d;

            const toml::node* slot = table->get("slot");
            if (slot == nullptr)
                Fail(table, prefix + ".slot", "missing");
            const auto slotValue = slot->value<std::int64_t>();
            if (!slot->is_integer() || !slotValue || *slotValue < 0 || *slotValue >= kLoadSlotCount)
                Fail(slot, prefix + ".slot",
                     "must be a slot from 0 to " + std::to_string(kLoadSlotCount - 1));
            d.slot = static_cast<int>(*slotValue);

            if (const toml::node* jump = table->get("jump")) {
                const auto value = jump->value<bool>();
                if (!jump->is_boolean() || !value)
                    Fail(jump, prefix + ".jump", "must be true or false");
                if (*value && i + 1 != entries->size())
                    Fail(jump, prefix + ".jump", "only the last download may jump");
                d.jump = *value;
            }
            if (const toml::node* ignore = table->get("ignore_result")) {
                const auto value = ignore->value<bool>();
                if (!ignore->is_boolean() || !value)
                    Fail(ignore, prefix + ".ignore_result", "must be true or false");
                d.ignoreResult = *value;
            }

            std::vector<std::uint8_t> image;
            d.file =
                ReadFile(*table, "file", prefix, DownloadRoom(d.slot),
                         "the most slot " + std::to_string(d.slot) + " takes", image, d.sha256);
            d.bytes = std::make_shared<const std::vector<std::uint8_t>>(std::move(image));
            m_recipe.downloads.push_back(d);
        }
    }

    std::string m_path;
    fs::path m_dir;
    Recipe& m_recipe;
};

}  // namespace

bool LoadRecipe(const std::string& path, Recipe& recipe, std::string& error) {
    try {
        CRecipeReader(path, recipe).Read();
        return true;
    } catch (const RecipeError& e) {
        error = e.message;
        return false;
    }
}

void ApplyRecipeSettings(const Recipe& recipe, DeviceSettings& settings) {
    for (const OptionInfo* o : recipe.settingOptions) {
        if (o->IsFlag()) {
            settings.*o->flag = recipe.settingValues.*o->flag;
        } else {
            settings.*o->selection = recipe.settingValues.*o->selection;
        }
    }
}

std::optional<DeviceSettings> CompleteSettings(const Recipe& recipe) {
    if (recipe.settingsBase != SettingsBase::Factory)
        return std::nullopt;
    DeviceSettings settings = FactorySettings();
    ApplyRecipeSettings(recipe, settings);
    return settings;
}

std::string SettingsRecordText(const DeviceSettings& settings) {
    return SettingsToJson(settings).dump();
}

std::string ExpectedSettingsSha256(const Recipe& recipe) {
    const std::optional<DeviceSettings> complete = CompleteSettings(recipe);
    return complete ? Sha256Hex(SettingsRecordText(*complete)) : std::string();
}

std::string FileSha256(const std::string& path) {
    std::vector<std::uint8_t> image;
    if (ReadFileImage(path, image) != ImageLoad::Ok)
        return {};
    return Sha256Hex(image.data(), image.size());
}
