#pragma once
// The error texts of the station's TOML files (recipes, slots files):
// "FILE:LINE: KEY: WHAT", so the operator finds the place. Internal to
// station/.

#include <toml++/toml.h>

#include <string>

// For `node` (its line when it has one; none for a null node) and `key`
// (left out when empty).
std::string TomlErrorText(const std::string& path, const toml::node* node, const std::string& key,
                          const std::string& what);
// For a file that is no TOML at all.
std::string TomlParseErrorText(const std::string& path, const toml::parse_error& error);
