#include "station/engine/station_defaults.h"

#include <unistd.h>

#include <cstdlib>

std::string DefaultStationName() {
    char name[256] = {};
    return gethostname(name, sizeof name - 1) == 0 ? name : "";
}

std::string DefaultOperatorName() {
    const char* user = std::getenv("USER");
    return user != nullptr ? user : "";
}
