#include "gst/sample_format.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace lumgst {
namespace {

template <class Sample>
Sample readLittle(const guint8* at) {
    Sample value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

}  // namespace

bool sampleFormatSupported(GstAudioFormat format) {
    switch (format) {
        case GST_AUDIO_FORMAT_U8:
        case GST_AUDIO_FORMAT_S16LE:
        case GST_AUDIO_FORMAT_S24LE:
        case GST_AUDIO_FORMAT_S32LE:
        case GST_AUDIO_FORMAT_F32LE:
        case GST_AUDIO_FORMAT_F64LE: return true;
        default: return false;
    }
}

void appendAsFloat(GstAudioFormat format, const guint8* data, std::size_t frames, int channels, std::vector<float>& out) {
    const std::size_t count = frames * static_cast<std::size_t>(channels);
    const std::size_t first = out.size();
    out.resize(first + count);
    float* to = out.data() + first;
    // The scale factors are libswresample's, in single precision as it computes them.
    switch (format) {
        case GST_AUDIO_FORMAT_U8:
            for (std::size_t i = 0; i < count; ++i) to[i] = static_cast<float>(data[i] - 0x80) * (1.0f / (1 << 7));
            break;
        case GST_AUDIO_FORMAT_S16LE:
            for (std::size_t i = 0; i < count; ++i)
                to[i] = static_cast<float>(readLittle<int16_t>(data + 2 * i)) * (1.0f / (1 << 15));
            break;
        case GST_AUDIO_FORMAT_S24LE:
            // The decoder widens 24-bit samples to 32 bits, then they convert as 32-bit ones.
            for (std::size_t i = 0; i < count; ++i) {
                const guint8* at = data + 3 * i;
                const auto widened = static_cast<int32_t>(static_cast<uint32_t>(at[0]) << 8 | static_cast<uint32_t>(at[1]) << 16 |
                                                          static_cast<uint32_t>(at[2]) << 24);
                to[i] = static_cast<float>(widened) * (1.0f / (1U << 31));
            }
            break;
        case GST_AUDIO_FORMAT_S32LE:
            for (std::size_t i = 0; i < count; ++i)
                to[i] = static_cast<float>(readLittle<int32_t>(data + 4 * i)) * (1.0f / (1U << 31));
            break;
        case GST_AUDIO_FORMAT_F32LE: std::memcpy(to, data, count * sizeof(float)); break;
        case GST_AUDIO_FORMAT_F64LE:
            for (std::size_t i = 0; i < count; ++i) to[i] = static_cast<float>(readLittle<double>(data + 8 * i));
            break;
        default: std::fill(to, to + count, 0.0f); break;
    }
}

}  // namespace lumgst
