#pragma once
// Reading the station's TOML files (recipes, slots files) the one way both
// need: only a regular file, never more than a size limit (a FIFO or
// /dev/zero named as one must neither block nor fill memory), and every error
// as "FILE:LINE: KEY: WHAT", so the operator finds the place. Internal to
// station/.

#include <toml++/toml.h>

#include <cstddef>
#include <string>

// A TOML file of the station is never larger than this.
inline constexpr std::size_t kMaxStationTomlBytes = 1 << 20;

// Reads the regular file at `path` (at most kMaxStationTomlBytes) and parses
// it into `root`; its bytes go to `bytes` (for a digest). False with the
// error text in `error`; `root` and `bytes` are then unspecified.
bool ReadTomlFile(const std::string& path, std::string& bytes, toml::table& root,
                  std::string& error);

// For `node` (its line when it has one; none for a null node) and `key`
// (left out when empty).
std::string TomlErrorText(const std::string& path, const toml::node* node, const std::string& key,
                          const std::string& what);
// For a file that is no TOML at all.
std::string TomlParseErrorText(const std::string& path, const toml::parse_error& error);
