// Moments and lengths of sound as a person writes them: seconds ("90",
// "12.5") or clock time ("1:30", "01:02:03.25").
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lumhost {

// Seconds or [hh:]mm:ss[.fraction]; minutes and seconds under 60 after the
// first field. Nothing for anything else, negative values included.
std::optional<double> parseTime(std::string_view text);

// As the warnings print it: m:ss.cc, or h:mm:ss.cc from an hour on.
std::string formatTime(double seconds);

}  // namespace lumhost
