// How text crosses between the module and the page: strings go in as UTF-8,
// NUL-terminated, in the module's memory; what a call hands back is kept
// here until the next call that hands back text, and lists and records go
// out as JSON made on this side. A call that fails hands back null and
// leaves its one line for webLastError.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#define WEB_EXPORT extern "C" __attribute__((used, visibility("default")))

namespace webhost {

// Keeps `text` for the page to read and returns it.
const char* give(std::string text);

// Keeps `message` as the last error and returns null, for `return fail(...)`.
const char* fail(std::string message);

// A JSON string literal, quotes included. Control characters are escaped;
// other bytes pass as they are (the page decodes UTF-8).
std::string jsonString(std::string_view text);

// A JSON array of strings.
std::string jsonStrings(const std::vector<std::string>& texts);

}  // namespace webhost
