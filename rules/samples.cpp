#include "rules/samples.h"

#include <algorithm>
#include <cstring>

namespace lumrules {
namespace {

template <class Word>
Word readLittle(const unsigned char* at) {
    Word value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

}  // namespace

int sampleBytes(SampleFormat format) {
    switch (format) {
        case SampleFormat::u8:
        case SampleFormat::s8: return 1;
        case SampleFormat::s16: return 2;
        case SampleFormat::s24: return 3;
        case SampleFormat::s32:
        case SampleFormat::f32: return 4;
        case SampleFormat::f64: return 8;
    }
    return 1;
}

std::optional<SampleFormat> sampleFormatNamed(std::string_view name) {
    if (name.size() > 2 && name.substr(name.size() - 2) == "le") name.remove_suffix(2);
    if (name == "u8") return SampleFormat::u8;
    if (name == "s8") return SampleFormat::s8;
    if (name == "s16") return SampleFormat::s16;
    if (name == "s24") return SampleFormat::s24;
    if (name == "s32") return SampleFormat::s32;
    if (name == "f32") return SampleFormat::f32;
    if (name == "f64") return SampleFormat::f64;
    return std::nullopt;
}

float sampleToFloat(const unsigned char* at, SampleFormat format) {
    switch (format) {
        case SampleFormat::u8: return static_cast<float>(at[0] - 0x80) * (1.0f / (1 << 7));
        case SampleFormat::s8: return static_cast<float>(static_cast<int8_t>(at[0])) * (1.0f / (1 << 7));
        case SampleFormat::s16: return static_cast<float>(readLittle<int16_t>(at)) * (1.0f / (1 << 15));
        case SampleFormat::s24: {
            const auto widened = static_cast<int32_t>(static_cast<uint32_t>(at[0]) << 8 | static_cast<uint32_t>(at[1]) << 16 |
                                                      static_cast<uint32_t>(at[2]) << 24);
            return static_cast<float>(widened) * (1.0f / (1U << 31));
        }
        case SampleFormat::s32: return static_cast<float>(readLittle<int32_t>(at)) * (1.0f / (1U << 31));
        case SampleFormat::f32: return readLittle<float>(at);
        case SampleFormat::f64: return static_cast<float>(readLittle<double>(at));
    }
    return 0.0f;
}

void appendInterleaved(const void* data, std::size_t frames, int channels, SampleFormat format, std::vector<float>& out) {
    const std::size_t count = frames * static_cast<std::size_t>(channels);
    const std::size_t first = out.size();
    out.resize(first + count);
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (format == SampleFormat::f32) {
        if (count > 0) std::memcpy(out.data() + first, bytes, count * sizeof(float));
        return;
    }
    const auto width = static_cast<std::size_t>(sampleBytes(format));
    for (std::size_t i = 0; i < count; ++i) out[first + i] = sampleToFloat(bytes + i * width, format);
}

void appendPlanar(const void* const* planes, std::size_t frames, int channels, SampleFormat format, std::vector<float>& out) {
    const auto width = static_cast<std::size_t>(channels);
    const std::size_t first = out.size();
    out.resize(first + frames * width);
    const auto bytes = static_cast<std::size_t>(sampleBytes(format));
    for (std::size_t c = 0; c < width; ++c) {
        const auto* plane = static_cast<const unsigned char*>(planes[c]);
        for (std::size_t i = 0; i < frames; ++i) out[first + i * width + c] = sampleToFloat(plane + i * bytes, format);
    }
}

int mixedChannels(int channels) { return channels <= 1 ? 1 : 2; }

std::vector<ChannelPosition> usualPositions(int channels) {
    using enum ChannelPosition;
    switch (channels) {
        case 1: return {mono};
        case 2: return {frontLeft, frontRight};
        case 3: return {frontLeft, frontRight, frontCentre};
        case 4: return {frontLeft, frontRight, frontCentre, backCentre};
        case 5: return {frontLeft, frontRight, frontCentre, surroundLeft, surroundRight};
        case 6: return {frontLeft, frontRight, frontCentre, lowFrequency, surroundLeft, surroundRight};
        case 7: return {frontLeft, frontRight, frontCentre, lowFrequency, backCentre, surroundLeft, surroundRight};
        default: {
            if (channels < 1) return {};
            std::vector<ChannelPosition> positions{frontLeft,    frontRight,    frontCentre,  lowFrequency,
                                                   surroundLeft, surroundRight, surroundLeft, surroundRight};
            positions.resize(static_cast<std::size_t>(channels), other);
            return positions;
        }
    }
}

std::vector<float> downmixGains(const std::vector<ChannelPosition>& positions) {
    if (positions.size() == 1) return {1.0f, 1.0f};
    std::vector<float> gains(2 * positions.size(), 0.0f);
    const float minus3dB = 0.70710678118654752f;  // 1 / sqrt 2
    const auto minus6dB = 0.5f;
    for (std::size_t c = 0; c < positions.size(); ++c) {
        float& left = gains[2 * c];
        float& right = gains[2 * c + 1];
        switch (positions[c]) {
            case ChannelPosition::frontLeft: left = 1.0f; break;
            case ChannelPosition::frontRight: right = 1.0f; break;
            // A mono channel among others stands where a centre would.
            case ChannelPosition::mono:
            case ChannelPosition::frontCentre: left = right = minus3dB; break;
            case ChannelPosition::lowFrequency:
            case ChannelPosition::other: break;
            case ChannelPosition::surroundLeft: left = minus3dB; break;
            case ChannelPosition::surroundRight: right = minus3dB; break;
            case ChannelPosition::backCentre: left = right = minus6dB; break;
        }
    }
    return gains;
}

std::vector<float> downmixGains(int channels) { return downmixGains(usualPositions(channels)); }

bool passesUnmixed(const std::vector<ChannelPosition>& positions) {
    return positions.size() == 1 ||
           (positions.size() == 2 && positions[0] == ChannelPosition::frontLeft && positions[1] == ChannelPosition::frontRight);
}

namespace {

void mixWith(const float* interleaved, std::size_t frames, const std::vector<float>& gains, std::vector<float>& out) {
    const std::size_t width = gains.size() / 2;
    const std::size_t first = out.size();
    out.resize(first + 2 * frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const float* frame = interleaved + i * width;
        float left = 0.0f, right = 0.0f;
        for (std::size_t c = 0; c < width; ++c) {
            left += gains[2 * c] * frame[c];
            right += gains[2 * c + 1] * frame[c];
        }
        out[first + 2 * i] = left;
        out[first + 2 * i + 1] = right;
    }
}

}  // namespace

void mixDown(const float* interleaved, std::size_t frames, int channels, std::vector<float>& out) {
    if (channels <= 2) {
        out.insert(out.end(), interleaved, interleaved + frames * static_cast<std::size_t>(std::max(channels, 0)));
        return;
    }
    mixWith(interleaved, frames, downmixGains(channels), out);
}

void mixDown(const float* interleaved, std::size_t frames, const std::vector<ChannelPosition>& positions, std::vector<float>& out) {
    if (passesUnmixed(positions) || positions.empty()) {
        out.insert(out.end(), interleaved, interleaved + frames * positions.size());
        return;
    }
    mixWith(interleaved, frames, downmixGains(positions), out);
}

}  // namespace lumrules
