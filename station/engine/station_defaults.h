#pragma once
// Who and where a station is in its records when the front end is not told:
// the host's name and the user logged in.

#include <string>

std::string DefaultStationName();
std::string DefaultOperatorName();
