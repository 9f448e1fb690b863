#pragma once
// The string table: texts that the windows load by resource ID.

#include <string_view>

// String `id` (IDS_ABOUTBOX), UTF-8; empty when there is none.
std::string_view LoadResString(int id);
