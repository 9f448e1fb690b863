#include "station/toml_error.h"

#include <sstream>

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
