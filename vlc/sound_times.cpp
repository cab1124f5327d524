#include "vlc/sound_times.h"

namespace lumvlc {
namespace {

using namespace speaker;
constexpr uint32_t vlcOrder[] = {left, right, middleLeft, middleRight, rearLeft, rearRight, rearCentre, centre, lowFrequency};
constexpr uint32_t waveOrder[] = {left, right, centre, lowFrequency, rearLeft, rearRight, rearCentre, middleLeft, middleRight};

}  // namespace

std::vector<int> waveOrderOf(uint32_t physicalChannels) {
    std::vector<int> order;
    bool moved = false;
    for (const uint32_t wanted : waveOrder) {
        if ((physicalChannels & wanted) == 0) continue;
        int index = 0;
        for (const uint32_t bit : vlcOrder) {
            if (bit == wanted) break;
            if ((physicalChannels & bit) != 0) ++index;
        }
        moved = moved || index != static_cast<int>(order.size());
        order.push_back(index);
    }
    if (!moved) order.clear();
    return order;
}

void reorder(const float* interleaved, std::size_t frames, const std::vector<int>& order, std::vector<float>& out) {
    const std::size_t width = order.size();
    out.resize(frames * width);
    for (std::size_t i = 0; i < frames; ++i)
        for (std::size_t c = 0; c < width; ++c) out[i * width + c] = interleaved[i * width + static_cast<std::size_t>(order[c])];
}

}  // namespace lumvlc
