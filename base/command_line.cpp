#include "base/command_line.h"

#include <CLI/CLI.hpp>
#include <algorithm>

namespace {

// A word CLI11 set aside that would be an option if the table had it ("-1"
// included: a negative number is no command's word).
bool LooksLikeOption(std::string_view token) {
    return token.size() >= 2 && token[0] == '-';
}

const OptionRow* FindOptionRow(std::span<const OptionRow> options, std::string_view name) {
    const auto it = std::find_if(options.begin(), options.end(),
                                 [name](const OptionRow& row) { return row.name == name; });
    return it != options.end() ? &*it : nullptr;
}

// CLI11 reads "--name=" as "--name" and would take the next word for the
// value: an empty value is refused before it is used.
bool CheckEmptyInlineValues(std::span<const char* const> tokens, std::span<const OptionRow> options,
                            std::string& faulty, std::string& error) {
    for (const std::string_view token : tokens) {
        if (token == "--")
            break;
        if (!token.starts_with("--") || token.find('=') != token.size() - 1)
            continue;
        const OptionRow* row = FindOptionRow(options, token.substr(0, token.size() - 1));
        if (row == nullptr)
            continue;
        faulty = row->name;
        error = "option '" + faulty + "' " +
                (row->value == OptionValue::None ? "takes no value" : "needs a value");
        return false;
    }
    return true;
}

}  // namespace

bool CCommandLine::Parse(std::span<const char* const> tokens, std::span<const OptionRow> options,
                         std::string& error, bool helpOption) {
    *this = CCommandLine{};
    CLI::App app;
    // The tools print help texts of their own.
    app.set_help_flag();
    // Words and unknown options are set aside in order (remaining()); which
    // of them is which is decided below, where "--" is seen.
    app.allow_extras();
    std::vector<CLI::Option*> added;
    for (const OptionRow& row : options) {
        const std::string name(row.name);
        // A flag given bare holds an empty result, "--flag=VALUE" holds VALUE.
        CLI::Option* option = row.value == OptionValue::Required ? app.add_option(name)->expected(1)
                                                                 : app.add_flag(name + "{}");
        // Every value is kept; a second one is refused below unless repeatable.
        option->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
        added.push_back(option);
    }
    const CLI::Option* help = helpOption ? app.add_flag("-h{},--help{}") : nullptr;

    std::vector<std::string> args(tokens.rbegin(), tokens.rend());
    bool valueMissing = false;
    try {
        app.parse(args);
    } catch (const CLI::ArgumentMismatch&) {
        valueMissing = true;
    } catch (const CLI::ParseError& e) {
        error = e.what();
        return false;
    }
    // What was read, also on a failure (up to it): help and the options given.
    m_help = help != nullptr && help->count() > 0;
    for (std::size_t row = 0; row < options.size(); ++row) {
        if (added[row]->count() > 0)
            m_given[std::string(options[row].name)] =
                Given{options[row].name, added[row]->results(), row};
    }
    if (valueMissing) {
        // A value is taken whatever it looks like, so only the last word can
        // be short of one ("--name" or "--name=").
        const std::string_view last = tokens.back();
        m_faultyOption = last.substr(0, last.find('='));
        error = "option '" + m_faultyOption + "' needs a value";
        return false;
    }

    bool optionsEnded = false;
    for (std::string& token : app.remaining()) {
        if (!optionsEnded && token == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && LooksLikeOption(token)) {
            m_faultyOption = token;
            error = "unknown option '" + token + "'";
            return false;
        } else {
            m_words.push_back(std::move(token));
        }
    }
    if (!CheckEmptyInlineValues(tokens, options, m_faultyOption, error))
        return false;

    for (auto& [name, given] : m_given) {
        const OptionRow& row = options[given.order];
        std::vector<std::string>& values = given.values;
        const std::size_t count = values.size();
        if (row.value != OptionValue::Required) {
            if (row.value == OptionValue::None &&
                std::any_of(values.begin(), values.end(),
                            [](const std::string& v) { return !v.empty(); })) {
                m_faultyOption = name;
                error = "option '" + name + "' takes no value";
                return false;
            }
            std::erase(values, std::string());
        }
        // A second value would silently win over the first.
        if (!row.repeatable && count > 1) {
            m_faultyOption = name;
            error = "option '" + name + "' given twice";
            return false;
        }
    }
    return true;
}

std::optional<std::string> CCommandLine::Value(std::string_view name) const {
    const auto it = m_given.find(name);
    if (it == m_given.end() || it->second.values.empty())
        return std::nullopt;
    return it->second.values.back();
}

std::vector<std::string> CCommandLine::Values(std::string_view name) const {
    const auto it = m_given.find(name);
    return it != m_given.end() ? it->second.values : std::vector<std::string>{};
}

std::vector<std::string> CCommandLine::GivenOptions() const {
    std::vector<const Given*> given;
    for (const auto& [name, g] : m_given)
        given.push_back(&g);
    std::sort(given.begin(), given.end(),
              [](const Given* a, const Given* b) { return a->order < b->order; });
    std::vector<std::string> names;
    for (const Given* g : given)
        names.emplace_back(g->rowName);
    return names;
}
