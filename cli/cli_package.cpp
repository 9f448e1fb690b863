#include "cli/cli_package.h"

#include "firmware/prg_folder.h"

bool CommandUsesPrgFolder(const CliRequest& request) {
    return request.command == CliCommand::Upgrade && !request.args.empty() &&
           IsPrgEntryName(request.args.front());
}
