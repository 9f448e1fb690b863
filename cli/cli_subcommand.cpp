#include "cli/cli_subcommand.h"

#include "cli/cli_options.h"
#include "cli/cli_recipe_check.h"
#include "cli/cli_records.h"
#include "cli/cli_release.h"
#include "cli/cli_rows.h"
#include "cli/cli_text_escape.h"

const CliSubcommand* FindSubcommand(std::string_view name) {
    static const CliSubcommand kSubcommands[] = {
        RecordsSubcommand(),
        ReleaseSubcommand(),
        RecipeSubcommand(),
    };
    return FindRow<CliSubcommand>(kSubcommands, name);
}

int RunSubcommand(const CliSubcommand& subcommand, std::span<const char* const> tokens,
                  std::FILE* out, std::FILE* err) {
    CCommandLine line;
    std::string error;
    if (!line.Parse(tokens, subcommand.options, error))
        return SubcommandUsageError(err, subcommand.name, error);
    if (line.Help()) {
        std::fputs(subcommand.help, out);
        return kExitSuccess;
    }
    const int status = subcommand.run(line, out, err);
    std::fflush(out);
    return status;
}

int SubcommandUsageError(std::FILE* err, std::string_view name, std::string_view message) {
    PrintCliMessage(err, message);
    std::fprintf(err, "Try 'vornak-cli %.*s --help'.\n", static_cast<int>(name.size()),
                 name.data());
    return kExitUsage;
}

bool NoEmptyValues(const CCommandLine& line, std::string& error) {
    for (const std::string& name : line.GivenOptions()) {
        if (const auto value = line.Value(name); value && value->empty()) {
            error = "option '" + name + "' needs a value";
            return false;
        }
    }
    return true;
}
