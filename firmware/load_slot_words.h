#pragma once
// The status texts of the load slots' operations, from their result values:
// what the download and jump buttons show, and what the station records of
// the same operations.

#include <cstdint>
#include <string>

#include "ops/op_result.h"

// "Sending done/total ...", shown after every data packet but the last.
std::string DownloadProgressText(std::uint32_t done, std::uint32_t total);
// The text a finished download shows.
const char* DownloadResultText(const OpResult& result);
// The text a finished jump shows; none (nullptr) when the link failed, which
// the jump leaves unreported.
const char* JumpResultText(const OpResult& result);
