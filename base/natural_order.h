#pragma once
// Natural name order: runs of digits compare by value, so ttyUSB2 < ttyUSB10
// and v2.pkg < v10.pkg. Port names compare as they are; file names in lists
// the operator picks from compare with ASCII case ignored.

#include <string>

enum class NameCase { Exact, IgnoreAscii };

bool NaturalLess(const std::string& a, const std::string& b, NameCase nameCase = NameCase::Exact);
