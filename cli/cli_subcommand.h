#pragma once
// The first words of vornak-cli that have options of their own (records,
// release, recipe): one table, one entry point. The line is split by the
// row's options; a usage error names the row's help; --help prints it.
// Every other first word is a box command (cli/cli_options.h).

#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "base/command_line.h"

struct CliSubcommand {
    std::string_view name;
    std::span<const OptionRow> options;
    const char* help;
    // Runs a line that split cleanly and asked for no help; returns the exit
    // status. Usage errors go through SubcommandUsageError.
    int (*run)(const CCommandLine& line, std::FILE* out, std::FILE* err);
};

// The row of the word `name`; null for a box command.
const CliSubcommand* FindSubcommand(std::string_view name);

// Runs the sub-command on `tokens` (the words after its name).
int RunSubcommand(const CliSubcommand& subcommand, std::span<const char* const> tokens,
                  std::FILE* out, std::FILE* err);

// Prints "vornak-cli: MESSAGE" and the pointer to the sub-command's help;
// returns the usage error's exit status.
int SubcommandUsageError(std::FILE* err, std::string_view name, std::string_view message);

// False with `error` when an option was given an empty value ("--db ''"):
// no option of these sub-commands means anything by one.
bool NoEmptyValues(const CCommandLine& line, std::string& error);
