#include "web/wasm/web_text.h"

#include <cstdio>

namespace webhost {
namespace {

std::string& kept() {
    static std::string text;
    return text;
}

std::string& lastError() {
    static std::string text;
    return text;
}

}  // namespace

const char* give(std::string text) {
    kept() = std::move(text);
    return kept().c_str();
}

const char* fail(std::string message) {
    lastError() = std::move(message);
    return nullptr;
}

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string jsonStrings(const std::vector<std::string>& texts) {
    std::string out = "[";
    for (std::size_t i = 0; i < texts.size(); ++i) out += (i > 0 ? "," : "") + jsonString(texts[i]);
    return out + "]";
}

}  // namespace webhost

// The line of the last call that failed.
WEB_EXPORT const char* webLastError() { return webhost::lastError().c_str(); }
