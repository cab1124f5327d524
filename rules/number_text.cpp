#include "rules/number_text.h"

#include <charconv>

namespace lumrules {
namespace {

template <class Number>
std::optional<Number> parseWhole(std::string_view text, int base) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

bool allOf(std::string_view text, bool (*accept)(char)) {
    for (char c : text)
        if (!accept(c)) return false;
    return true;
}

bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isDecimalDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

}  // namespace

std::optional<int64_t> parseDigits(std::string_view text) {
    if (text.empty() || text.size() > 18 || !allOf(text, isDecimalDigit)) return std::nullopt;
    return parseWhole<int64_t>(text, 10);
}

std::optional<int64_t> parseDecimal(std::string_view text) {
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        const auto magnitude = parseDigits(text.substr(1));
        if (!magnitude) return std::nullopt;
        return text[0] == '-' ? -*magnitude : *magnitude;
    }
    return parseDigits(text);
}

std::optional<uint32_t> parseHex32(std::string_view text) {
    if (text.empty() || text.size() > 8 || !allOf(text, isHexDigit)) return std::nullopt;
    return parseWhole<uint32_t>(text, 16);
}

}  // namespace lumrules
