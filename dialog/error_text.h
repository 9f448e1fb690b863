#pragma once
// The status text of a failed step: kTextErrorPrefix and the failure code as
// four hexadecimal digits ("错误:EF03").

#include <cstdint>
#include <string>

std::string ErrorText(std::uint16_t code);
