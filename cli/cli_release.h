#pragma once
// vornak-cli release: signed release bundles on the engineering side.
//
//   vornak-cli release keygen KEYFILE
//   vornak-cli release create RECIPE --key KEYFILE --release N --family PREFIX
//                             [--family PREFIX ...] [--expires YYYY-MM-DD]
//                             [--note TEXT] -o BUNDLE
//   vornak-cli release verify BUNDLE [--trust DIR]
//   vornak-cli release list BUNDLE
//
// "release" is the first word of the command line; its options are its own.
// Nothing here touches a port. Every failure is bad input: exit 2.

#include "cli/cli_subcommand.h"

// Its row of the sub-command table; its exit status: 0 done, 2 refused or
// usage error.
CliSubcommand ReleaseSubcommand();
