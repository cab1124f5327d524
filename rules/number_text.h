// Whole numbers written in command-line and description text.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace lumrules {

// An optional sign and 1 to 18 decimal digits, nothing else.
std::optional<int64_t> parseDecimal(std::string_view text);

// Unsigned: 1 to 18 decimal digits, no sign.
std::optional<int64_t> parseDigits(std::string_view text);

// 1 to 8 hexadecimal digits, no prefix.
std::optional<uint32_t> parseHex32(std::string_view text);

}  // namespace lumrules
