#pragma once
// The one reader of the tools' command lines (vornak-cli, vornak --station,
// vornak-boxsim): CLI11 splits the line by a table of options, and a wrong
// line gets one message in the tools' own words.
//
// Options may stand before, between or after the words; "--" ends them, so a
// word may begin with '-'. A long option takes its value as "--name VALUE" or
// "--name=VALUE", a short one as "-o VALUE" or "-oVALUE"; an option with an
// optional value takes it only as "--name=VALUE". "-h" and "--help" ask for
// help; each tool prints its own help text.

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

struct OptionRow {
    std::string_view name;  // "--port", "-o"
    OptionValue value;
    // May be given more than once: Value is then the last, Values all of them.
    bool repeatable = false;
};

class CCommandLine {
public:
    // Reads `tokens` (argv without the program); without `helpOption`, -h
    // and --help are unknown options. False with a one-line message in
    // `error` for an unknown option, a missing, empty or unwanted value, or
    // an option given twice that is not repeatable; then only FaultyOption,
    // Help and Has (for the options read up to the fault) tell anything.
    bool Parse(std::span<const char* const> tokens, std::span<const OptionRow> options,
               std::string& error, bool helpOption = true);

    // The words that are no option nor an option's value, in order.
    const std::vector<std::string>& Words() const { return m_words; }
    bool Help() const { return m_help; }
    bool Has(std::string_view name) const { return m_given.find(name) != m_given.end(); }
    // The option's value, when it was given with one.
    std::optional<std::string> Value(std::string_view name) const;
    // Every value of a repeatable option, in the order given.
    std::vector<std::string> Values(std::string_view name) const;
    // The names of the options given, in the order of the table.
    std::vector<std::string> GivenOptions() const;
    // The option a failed Parse complained of; empty for a stray word or none.
    const std::string& FaultyOption() const { return m_faultyOption; }

private:
    struct Given {
        std::string_view rowName;
        std::vector<std::string> values;
        std::size_t order = 0;  // the option's row in the table
    };
    std::vector<std::string> m_words;
    std::map<std::string, Given, std::less<>> m_given;
    bool m_help = false;
    std::string m_faultyOption;
};
