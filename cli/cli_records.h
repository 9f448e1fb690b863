#pragma once
// vornak-cli records: the unit records of a store, listed, shown or exported.
//
//   vornak-cli records list [--serial S] [--since T] [--result R] [--db URL]
//   vornak-cli records show ID [--db URL]
//   vornak-cli records export (--csv FILE | --jsonl FILE) [filters] [--db URL]
//
// "records" is the first word of the command line; its options are its own.
// Nothing here touches a port.

#include "cli/cli_subcommand.h"

// Its row of the sub-command table; its exit status: 0, 1 when the store
// failed or the record is unknown, 2 for a usage error.
CliSubcommand RecordsSubcommand();
