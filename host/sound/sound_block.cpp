#include "host/sound/sound_block.h"

#include <algorithm>
#include <cmath>

namespace lumhost {

int8_t toSigned8(float sample) {
    if (std::isnan(sample)) return 0;
    const float scaled = std::clamp(sample * 128.0f, -128.0f, 127.0f);
    return static_cast<int8_t>(std::lrint(scaled));
}

int64_t frameStart(int64_t frame, int sampleRate, int fps) { return frameStart(frame, sampleRate, fps, 1); }

int64_t frameStart(int64_t frame, int sampleRate, int fpsNumerator, int fpsDenominator) {
    return frame * sampleRate * fpsDenominator / fpsNumerator;
}

int64_t framesFor(int64_t sampleFrames, int sampleRate, int fps) {
    if (sampleFrames <= 0) return 0;
    return (sampleFrames * fps + sampleRate - 1) / sampleRate;
}

void makeSoundBlock(const float* interleaved, std::size_t count, int channels, BlockLayout layout,
                    std::vector<int8_t>& block) {
    const auto width = static_cast<std::size_t>(channels);
    if (layout == BlockLayout::interleaved) {
        block.resize(count * width);
        for (std::size_t i = 0; i < block.size(); ++i) block[i] = toSigned8(interleaved[i]);
        return;
    }
    block.assign(3 * count, 0);
    const std::size_t rightChannel = channels > 1 ? 1 : 0;
    for (std::size_t i = 0; i < count; ++i) {
        block[i] = toSigned8(interleaved[i * width]);
        block[count + i] = toSigned8(interleaved[i * width + rightChannel]);
    }
}

}  // namespace lumhost
