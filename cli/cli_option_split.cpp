#include "cli/cli_option_split.h"

std::optional<std::string> SplitCommandLine::Value(std::string_view name) const {
    const auto it = options.find(name);
    return it != options.end() ? it->second : std::nullopt;
}

std::vector<std::string> SplitCommandLine::Values(std::string_view name) const {
    const auto it = repeated.find(name);
    return it != repeated.end() ? it->second : std::vector<std::string>{};
}

bool SplitOptions(std::span<const char* const> tokens, std::span<const OptionSpec> options,
                  SplitCommandLine& line, std::string& error) {
    line = SplitCommandLine{};
    bool optionsEnded = false;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string_view token = tokens[i];
        if (optionsEnded || token.size() < 2 || token[0] != '-') {
            line.words.emplace_back(token);
            continue;
        }
        if (token == "--") {
            optionsEnded = true;
            continue;
        }
        if (token == "--help" || token == "-h") {
            line.help = true;
            continue;
        }
        std::string_view name = token;
        std::optional<std::string> value;
        if (const auto eq = token.find('='); token.starts_with("--") && eq != token.npos) {
            name = token.substr(0, eq);
            value = std::string(token.substr(eq + 1));
        }
        const OptionSpec* option = nullptr;
        for (const OptionSpec& s : options) {
            if (s.name == name)
                option = &s;
        }
        if (option == nullptr) {
            error = "unknown option '" + std::string(token) + "'";
            return false;
        }
        if (option->value == OptionValue::None && value) {
            error = "option '" + std::string(name) + "' takes no value";
            return false;
        }
        if (option->value == OptionValue::Required && !value) {
            if (i + 1 >= tokens.size()) {
                error = "option '" + std::string(name) + "' needs a value";
                return false;
            }
            value = std::string(tokens[++i]);
        }
        if (option->repeatable && value)
            line.repeated[std::string(name)].push_back(*value);
        // A second value would silently win over the first.
        if (!line.options.emplace(std::string(name), value).second && !option->repeatable) {
            error = "option '" + std::string(name) + "' given twice";
            return false;
        }
    }
    return true;
}
