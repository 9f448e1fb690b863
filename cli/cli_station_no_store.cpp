#include <string>

#include "cli/cli_station.h"

// Built when the records library is not part of the build: the station needs
// a store for its interlock and records, so it refuses to start.
int RunStationCommand(const CliRequest&, std::FILE*, std::FILE* err) {
    std::fputs("vornak-cli: station: this build has no records store\n", err);
    return kExitUsage;
}
