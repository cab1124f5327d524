#include "lumhost/base/time_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "rules/number_text.h"

namespace lumhost {
namespace {

// Digits with an optional fraction: "12", "12.5", ".5" is refused.
std::optional<double> parseSeconds(std::string_view text) {
    const auto dot = text.find('.');
    const auto whole = lumrules::parseDigits(text.substr(0, dot));
    if (!whole) return std::nullopt;
    double value = static_cast<double>(*whole);
    if (dot != std::string_view::npos) {
        const auto fraction = text.substr(dot + 1);
        if (fraction.empty() || fraction.size() > 9 || !lumrules::parseDigits(fraction)) return std::nullopt;
        value += static_cast<double>(*lumrules::parseDigits(fraction)) / std::pow(10.0, static_cast<double>(fraction.size()));
    }
    return value;
}

}  // namespace

std::optional<double> parseTime(std::string_view text) {
    std::vector<std::string_view> fields;
    for (std::size_t from = 0;;) {
        const auto colon = text.find(':', from);
        fields.push_back(text.substr(from, colon == std::string_view::npos ? std::string_view::npos : colon - from));
        if (colon == std::string_view::npos) break;
        from = colon + 1;
    }
    if (fields.size() > 3) return std::nullopt;
    // Every field but the last is whole; the last may have a fraction.
    const auto last = parseSeconds(fields.back());
    if (!last) return std::nullopt;
    if (fields.size() == 1) return last;
    if (*last >= 60) return std::nullopt;
    double total = *last, unit = 60;
    for (std::size_t i = fields.size() - 1; i-- > 0; unit *= 60) {
        const auto value = lumrules::parseDigits(fields[i]);
        if (!value || (i > 0 && *value >= 60)) return std::nullopt;
        total += static_cast<double>(*value) * unit;
    }
    return total;
}

std::string formatTime(double seconds) {
    const auto hundredths = static_cast<long long>(std::llround(std::max(seconds, 0.0) * 100));
    const long long hours = hundredths / 360000, minutes = hundredths / 6000 % 60;
    const long long secs = hundredths / 100 % 60, cents = hundredths % 100;
    char text[48];
    if (hours > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%02lld", hours, minutes, secs, cents);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld.%02lld", minutes, secs, cents);
    return text;
}

}  // namespace lumhost
