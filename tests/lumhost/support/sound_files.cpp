#include "sound_files.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "host_runner.h"

namespace hosttest {
namespace {

void putLittleEndian(std::ofstream& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::string commandOutput(const std::string& command) {
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return text;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) text += buffer;
    pclose(pipe);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

}  // namespace

void writeSound(const std::string& path, int rate, int channels, long frames, const std::function<float(long, int)>& sample) {
    std::ofstream out(path, std::ios::binary);
    if (!out) throw std::runtime_error("cannot write test sound " + path);
    const auto dataBytes = static_cast<uint32_t>(frames * channels * 2);
    out.write("RIFF", 4);
    putLittleEndian(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    putLittleEndian(out, 16, 4);
    putLittleEndian(out, 1, 2);  // PCM
    putLittleEndian(out, static_cast<uint32_t>(channels), 2);
    putLittleEndian(out, static_cast<uint32_t>(rate), 4);
    putLittleEndian(out, static_cast<uint32_t>(rate * channels * 2), 4);
    putLittleEndian(out, static_cast<uint32_t>(channels * 2), 2);
    putLittleEndian(out, 16, 2);
    out.write("data", 4);
    putLittleEndian(out, dataBytes, 4);
    for (long i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) {
            const double x = std::clamp(static_cast<double>(sample(i, c)), -1.0, 1.0);
            putLittleEndian(out, static_cast<uint32_t>(static_cast<int16_t>(std::lround(std::min(x * 32768.0, 32767.0)))), 2);
        }
}

void writeTone(const std::string& path, int rate, int channels, double seconds) {
    writeSound(path, rate, channels, std::lround(seconds * rate), [rate](long i, int c) {
        return static_cast<float>(0.5 * std::sin(6.283185307179586 * 440.0 * static_cast<double>(i) / rate + c));
    });
}

bool runFfmpeg(const std::vector<std::string>& args) {
    std::string command = "ffmpeg -nostdin -hide_banner -loglevel error -y";
    for (const auto& arg : args) command += " " + quoted(arg);
    return std::system(command.c_str()) == 0;
}

std::string probe(const std::string& path, const std::string& select, const std::string& entry) {
    std::string command = "ffprobe -v error";
    if (!select.empty()) command += " -select_streams " + select;
    command += " -show_entries " + entry + " -of default=noprint_wrappers=1:nokey=1 " + quoted(path);
    return commandOutput(command);
}

}  // namespace hosttest
