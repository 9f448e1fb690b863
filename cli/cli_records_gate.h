#pragma once
// vornak-cli records gate SERIAL [--variant V]: whether a unit may leave the
// line. A pack-out or end-of-line station calls it before a box goes: exit 0
// when the serial's last run (of that variant, or of any) passed, 1 when it
// failed, was aborted or never ran, with one line on stdout saying which.

#include <cstdio>
#include <optional>
#include <string>

class IRecordStore;

// Returns the exit status (1 also when the store can't be read).
int RunRecordsGate(IRecordStore& store, const std::string& serial,
                   const std::optional<std::string>& variant, std::FILE* out, std::FILE* err);
