#pragma once
// Settings files of vornak-cli: the JSON form of DeviceSettings on disk.

#include <string>

#include "layouts/device_settings.h"

// Reads a settings file for writing to the box. Refuses (false, with a message
// naming the file in `error`) a file that can't be read, isn't JSON or isn't a
// whole record (device/settings_json.h), holds a key twice, or has a selection
// that is null: the box has no value for "none". `settings` is untouched on
// refusal.
bool LoadSettingsFile(const std::string& path, DeviceSettings& settings, std::string& error);

// Whether `path` can be written: a regular file or nothing there, in a
// writable folder. Checked without opening the path, so a FIFO never blocks it.
bool CanWriteFile(const std::string& path, std::string& error);

// Writes the record as pretty JSON with a final newline, replacing the file
// whole or not at all (link/file_replace.h).
bool SaveSettingsFile(const std::string& path, const DeviceSettings& settings, std::string& error);

// The record as the pretty JSON text that read-settings prints (no final newline).
std::string SettingsJsonText(const DeviceSettings& settings);
