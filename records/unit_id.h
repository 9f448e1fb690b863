#pragma once
// Unit ids: random (version 4) UUIDs in lower-case text. Stations make them
// independently, so they must not collide without any coordination; the
// PostgreSQL store's forwarding relies on an id naming one unit run only.

#include <string>

std::string NewUnitId();
