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

// Where each channel of a stream of that many channels stands.
enum class Place { left, right, centre, lowFrequency, surroundLeft, surroundRight, backCentre };

std::vector<Place> placesOf(int channels) {
    using enum Place;
    switch (channels) {
        case 3: return {left, right, centre};
        case 4: return {left, right, centre, backCentre};
        case 5: return {left, right, centre, surroundLeft, surroundRight};
        case 6: return {left, right, centre, lowFrequency, surroundLeft, surroundRight};
        case 7: return {left, right, centre, lowFrequency, backCentre, surroundLeft, surroundRight};
        default: {
            // Eight and more: 7.1's places, then anything further left out.
            std::vector<Place> places{left, right, centre, lowFrequency, surroundLeft, surroundRight, surroundLeft, surroundRight};
            places.resize(static_cast<std::size_t>(channels), lowFrequency);
            return places;
        }
    }
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

std::vector<float> downmixGains(int channels) {
    std::vector<float> gains(2 * static_cast<std::size_t>(std::max(channels, 0)), 0.0f);
    if (channels == 1) {
        gains = {1.0f, 1.0f};
        return gains;
    }
    if (channels == 2) {
        gains = {1.0f, 0.0f, 0.0f, 1.0f};
        return gains;
    }
    const float minus3dB = 0.70710678118654752f;  // 1 / sqrt 2
    const auto minus6dB = 0.5f;
    const auto places = placesOf(channels);
    for (std::size_t c = 0; c < places.size(); ++c) {
        float& left = gains[2 * c];
        float& right = gains[2 * c + 1];
        switch (places[c]) {
            case Place::left: left = 1.0f; break;
            case Place::right: right = 1.0f; break;
            case Place::centre: left = right = minus3dB; break;
            case Place::lowFrequency: break;
            case Place::surroundLeft: left = minus3dB; break;
            case Place::surroundRight: right = minus3dB; break;
            case Place::backCentre: left = right = minus6dB; break;
        }
    }
    return gains;
}

void mixDown(const float* interleaved, std::size_t frames, int channels, std::vector<float>& out) {
    if (channels <= 2) {
        out.insert(out.end(), interleaved, interleaved + frames * static_cast<std::size_t>(std::max(channels, 0)));
        return;
    }
    const auto gains = downmixGains(channels);
    const auto width = static_cast<std::size_t>(channels);
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

}  // namespace lumrules
