#include "trace_script.h"

#include <fstream>
#include <string>
#include <sstream>

namespace gyrotrail::testing {

uint8_t ByteSource::next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<uint8_t>(state_ >> 24);
}

namespace {

std::string expectDone(int32_t result, const std::string& what) {
    return result == 1 ? std::string() : what + " returned " + std::to_string(result);
}

}  // namespace

std::string runScript(const std::string& script, const EntryPoints& lum, ScriptHost& host) {
    std::istringstream lines(script);
    std::string line;
    ByteSource bytes;
    std::vector<uint8_t> block;
    int lineNumber = 0;
    while (std::getline(lines, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string command;
        words >> command;
        const std::string where = "script line " + std::to_string(lineNumber) + " (" + line + "): ";
        host.beginCommand(line);
        std::string problem;
        if (command == "window") {
            int32_t width = 0, height = 0;
            if (!(words >> width >> height)) return where + "needs a width and a height";
            host.resizeWindow(width, height);
        } else if (command == "init") {
            LumPluginInfo info{};
            problem = expectDone(lum.init(&info), "lumInit");
        } else if (command == "start") {
            problem = expectDone(lum.start(), "lumStart");
        } else if (command == "end") {
            problem = expectDone(lum.end(), "lumEnd");
        } else if (command == "set") {
            uint32_t id = 0;
            std::string value;
            if (!(words >> id >> value)) return where + "needs an id and a value";
            LumParamInfo record{};
            // Decimal or 0x-hexadecimal, taken as 32 bits.
            record.value = static_cast<int32_t>(static_cast<uint32_t>(std::stoll(value, nullptr, 0)));
            problem = expectDone(lum.setParamInfo(id, &record), "lumSetParamInfo");
        } else if (command == "seed") {
            uint32_t seed = 0;
            if (!(words >> seed)) return where + "needs a seed";
            bytes = ByteSource(seed);
        } else if (command == "blocks") {
            uint32_t count = 0, length = 0;
            if (!(words >> count >> length)) return where + "needs a count and a length";
            block.resize(length);
            for (uint32_t i = 0; i < count && problem.empty(); ++i) {
                for (uint8_t& byte : block) byte = bytes.next();
                problem = expectDone(lum.displaySoundData(host.window(), block.data(), length), "lumDisplaySoundData");
            }
        } else if (command == "frame") {
            uint32_t length = 0, byte = 0;
            if (!(words >> length >> byte) || byte > 255) return where + "needs a length and a byte";
            block.assign(length, static_cast<uint8_t>(byte));
            problem = expectDone(lum.displaySoundData(host.window(), block.data(), length), "lumDisplaySoundData");
        } else {
            return where + "unknown command";
        }
        if (!problem.empty()) return where + problem;
    }
    return {};
}

std::string readFile(const std::string& path, bool& ok) {
    std::ifstream in(path, std::ios::binary);
    ok = static_cast<bool>(in);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string firstDifference(const std::string& expected, const std::string& actual) {
    std::istringstream a(expected), b(actual);
    std::string lineA, lineB;
    for (int n = 1;; ++n) {
        const bool moreA = static_cast<bool>(std::getline(a, lineA));
        const bool moreB = static_cast<bool>(std::getline(b, lineB));
        if (!moreA && !moreB) return {};
        if (!moreA) lineA = "(end)";
        if (!moreB) lineB = "(end)";
        if (lineA != lineB || !moreA || !moreB)
            return "line " + std::to_string(n) + ": expected '" + lineA + "', got '" + lineB + "'";
    }
}

}  // namespace gyrotrail::testing
