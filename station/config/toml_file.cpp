#include "station/config/toml_file.h"

#include <sstream>

#include "base/regular_file.h"

std::string TomlErrorText(const std::string& path, const toml::node* node, const std::string& key,
                          const std::string& what) {
    std::string message = path;
    if (node != nullptr && node->source().begin.line != 0)
        message += ":" + std::to_string(node->source().begin.line);
    message += ": ";
    if (!key.empty())
        message += key + ": ";
    return message + what;
}

std::string TomlParseErrorText(const std::string& path, const toml::parse_error& error) {
    std::ostringstream message;
    message << path << ":" << error.source().begin.line << ": " << error.description();
    return message.str();
}

bool ReadTomlFile(const std::string& path, std::string& bytes, toml::table& root,
                  std::string& error) {
    int readError = 0;
    if (!ReadRegularFile(path, kMaxStationTomlBytes, bytes, readError)) {
        error =
            TomlErrorText(path, nullptr, "", "cannot read the file: " + FileErrorText(readError));
        return false;
    }
    try {
        root = toml::parse(bytes, path);
    } catch (const toml::parse_error& e) {
        error = TomlParseErrorText(path, e);
        return false;
    }
    return true;
}
