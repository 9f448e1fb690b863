#pragma once
// The option splitter every vornak-cli command line goes through: options
// apart from the command's words, each option at most once unless it is
// marked repeatable.
//
// Options may stand before, between or after the words; "--" ends them, so a
// word may begin with '-'. A long option takes its value as "--name VALUE"
// or "--name=VALUE", a short one as "-o VALUE"; an option with an optional
// value takes it only as "--name=VALUE". "-h" and "--help" ask for help.

#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

enum class OptionValue {
    None,      // a flag
    Required,  // --name VALUE, --name=VALUE, -o VALUE
    Inline,    // --name or --name=VALUE
};

struct OptionSpec {
    std::string_view name;  // "--port", "-o"
    OptionValue value;
    bool repeatable = false;  // may be given more than once (Values)
};

struct SplitCommandLine {
    std::vector<std::string> words;
    // Each option given, by name, with its value (none for a flag, or an
    // Inline option given without one).
    std::map<std::string, std::optional<std::string>, std::less<>> options;
    bool help = false;

    bool Has(std::string_view name) const { return options.find(name) != options.end(); }
    // The option's value, when it was given with one (the first, for a
    // repeatable option).
    std::optional<std::string> Value(std::string_view name) const;
    // Every value of a repeatable option, in the order given.
    std::vector<std::string> Values(std::string_view name) const;

    std::map<std::string, std::vector<std::string>, std::less<>> repeated;
};

// Splits `tokens` (argv without the program). False with a one-line message
// in `error` for an unknown option, a missing or unwanted value, or an
// option given twice that is not repeatable; `line` is then unspecified.
bool SplitOptions(std::span<const char* const> tokens, std::span<const OptionSpec> options,
                  SplitCommandLine& line, std::string& error);
