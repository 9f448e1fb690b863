#pragma once
// A recipe: what every box of one vehicle variant gets (firmware, settings,
// downloads), read from a TOML file and checked whole before any box is
// touched.
//
// Principles of operation. LoadRecipe reads the file's bytes once, hashes
// them (the recipe's identity in every record and in the interlock) and
// parses them. Every key is checked: unknown keys, wrong types, settings
// named or valued outside the option table, slots outside 0..5, a jump that
// is not on the last download. Files named by the recipe are taken relative
// to the recipe's folder, read whole once, hashed and kept: the station sends
// exactly those bytes, whatever happens to the file afterwards. A sha256 pin
// that differs refuses the recipe, and so does a file larger than the box can
// take or than kMaxRecipeFileBytes (refused by its size, unread). Errors name the file, the line
// (where the file has one) and the key. Pure: no threads, no port.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "layouts/device_settings.h"

struct OptionInfo;

// A file a recipe names is never this large: a package or a binary the box
// holds is a small fraction of it.
constexpr std::uint64_t kMaxRecipeFileBytes = std::uint64_t{64} << 20;

// A file's bytes as read when the recipe was loaded.
using PinnedBytes = std::shared_ptr<const std::vector<std::uint8_t>>;

struct RecipeFirmware {
    std::string package;  // path, resolved against the recipe's folder
    std::string sha256;   // of the package's bytes as read at load
    PinnedBytes bytes;    // those bytes, what the station sends
    std::string version;  // the version text the box must report afterwards
};

struct RecipeDownload {
    std::string file;  // path, resolved against the recipe's folder
    int slot = 0;      // load slot 0..5
    std::string sha256;
    PinnedBytes bytes;  // the file's bytes as read at load, what the station sends
    bool jump = false;  // jump to the slot after the download (last entry only)
    // The station fails the unit when the box answers a packet or the jump
    // with any result word but success, unless this is set (boxes that answer
    // them with codes of their own).
    bool ignoreResult = false;
};

// What a recipe's [settings] are laid over (`base` in the file).
enum class SettingsBase {
    Factory,  // the box's factory configuration: one configuration per recipe
    Box,      // the box's own values (a rework that must keep them)
};

struct Recipe {
    std::string path;
    std::string sha256;  // of the recipe file's bytes
    std::string name;
    std::string variant;
    std::optional<RecipeFirmware> firmware;
    // The options the recipe names, in the option table's order, and their
    // values (other members of `settingValues` mean nothing).
    std::vector<const OptionInfo*> settingOptions;
    DeviceSettings settingValues;
    SettingsBase settingsBase = SettingsBase::Factory;
    std::vector<RecipeDownload> downloads;
};

// Reads and checks the recipe at `path`. False with a one-line message in
// `error` ("FILE:LINE: KEY: what is wrong"); `recipe` is then unspecified.
bool LoadRecipe(const std::string& path, Recipe& recipe, std::string& error);

// Sets the recipe's options in `settings`; the others keep their values.
void ApplyRecipeSettings(const Recipe& recipe, DeviceSettings& settings);

// The complete configuration a factory-based recipe leaves on every box: the
// factory configuration with the recipe's options set. None for a box-based
// recipe, whose other options are each box's own.
std::optional<DeviceSettings> CompleteSettings(const Recipe& recipe);

// Settings as a record keeps them (the settings JSON, compact), the text its
// settings digest is taken of.
std::string SettingsRecordText(const DeviceSettings& settings);
// The settings_after_sha256 every passing unit of a factory-based recipe
// records; empty for a box-based recipe.
std::string ExpectedSettingsSha256(const Recipe& recipe);

// The SHA-256 of the file at `path` now, or empty when it can't be read.
std::string FileSha256(const std::string& path);
