#include "frame_sessions.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace gyrotrail::oracle {

std::string scriptWithWidth(const std::string& script, int32_t width) {
    std::istringstream in(script);
    std::ostringstream out;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string command, id;
        words >> command >> id;
        if (command == "set" && id == "11") {
            out << "set 11 " << width << '\n';
            continue;
        }
        out << line << '\n';
        if (command == "init") out << "set 11 " << width << '\n';
    }
    return out.str();
}

std::string scriptWithLowColourBytes(const std::string& script) {
    std::istringstream in(script);
    std::ostringstream out;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string command, id, value;
        words >> command >> id >> value;
        if (command == "set" && id == "10") {
            const unsigned long v = std::strtoul(value.c_str(), nullptr, 0);
            char text[32];
            std::snprintf(text, sizeof text, "set 10 0x%06lx", v & 0xFFFFFFul);
            out << text << '\n';
            continue;
        }
        out << line << '\n';
    }
    return out.str();
}

uint32_t frameHash(const uint32_t* pixels, int32_t width, int32_t height, int32_t stridePixels) {
    uint32_t hash = 2166136261u;
    for (int32_t y = 0; y < height; ++y) {
        const uint32_t* row = pixels + static_cast<int64_t>(y) * stridePixels;
        for (int32_t x = 0; x < width; ++x)
            for (int shift = 0; shift < 32; shift += 8) {
                hash ^= (row[x] >> shift) & 0xFFu;
                hash *= 16777619u;
            }
    }
    return hash;
}

std::string formatFrameHashes(int32_t width, const std::vector<uint32_t>& hashes) {
    std::ostringstream out;
    out << "width " << width << " :";
    char text[12];
    for (uint32_t h : hashes) {
        std::snprintf(text, sizeof text, " %08x", static_cast<unsigned>(h));
        out << text;
    }
    return out.str();
}

bool parseFrameHashes(const std::string& line, int32_t& width, std::vector<uint32_t>& hashes) {
    std::istringstream in(line);
    std::string word, colon;
    if (!(in >> word >> width >> colon) || word != "width" || colon != ":") return false;
    hashes.clear();
    while (in >> word) {
        char* end = nullptr;
        const unsigned long h = std::strtoul(word.c_str(), &end, 16);
        if (end == nullptr || *end != '\0') return false;
        hashes.push_back(static_cast<uint32_t>(h));
    }
    return true;
}

}  // namespace gyrotrail::oracle
