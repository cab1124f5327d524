// A frame allocates no memory, nor does any other entry point: thousands of
// frames through every state of the trail, drawn into canvases as the
// shipped module draws them, with every heap allocation counted.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "plugin/lum_plugin.h"
#include "plugin/visualizer_state.h"
#include "support/allocation_counter.h"
#include "support/guarded_canvas.h"

namespace gyrotrail::testing {
namespace {

void* volatile sink;

TEST(Allocations, TheCounterSeesAllocations) {
    AllocationCounter counter;
    sink = ::operator new(16);
    ::operator delete(sink);
    std::size_t expected = 1;
    if (countsMalloc()) {
        sink = std::malloc(16);
        std::free(sink);
        ++expected;
    }
    EXPECT_EQ(counter.count(), expected);
}

int32_t setParam(uint32_t id, int32_t value) {
    LumParamInfo record{};
    record.value = value;
    return lumSetParamInfo(id, &record);
}

struct Blocks {
    std::vector<uint8_t> quiet = std::vector<uint8_t>(1024, 0);
    std::vector<uint8_t> loud = std::vector<uint8_t>(4096, 0x7F);
    std::vector<uint8_t> negative = std::vector<uint8_t>(4096, 0x80);
    std::vector<uint8_t> ramp = std::vector<uint8_t>(3000);
    Blocks() {
        for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<uint8_t>(i * 37);
    }
    const std::vector<uint8_t>& pick(int frame) const {
        switch (frame % 4) {
            case 0: return ramp;
            case 1: return loud;
            case 2: return negative;
            default: return quiet;
        }
    }
};

TEST(Allocations, NoFrameOfAnyStateAllocates) {
    visualizerState() = VisualizerState{};
    GuardedCanvas wide(640, 480), odd(301, 199), tiny(1, 1);
    LumCanvas* canvases[] = {wide.window(), odd.window(), tiny.window()};
    const Blocks blocks;
    LumPluginInfo info{};
    LumParamInfo record{};

    int frames = 0;
    int fullFrames = 0;      // frames that found the trail full
    int fillingFrames = 0;   // frames that found it neither empty nor full
    int emptyFrames = 0;
    std::size_t allocations = 0;
    {
        AllocationCounter counter;
        // Before lumInit nothing can be drawn, but the calls are made all the same.
        lumDisplaySoundData(wide.window(), blocks.ramp.data(), static_cast<uint32_t>(blocks.ramp.size()));
        lumGetParamInfo(PARAM_LINE_WIDTH, &record);
        lumInit(&info);
        for (uint32_t id = 0; id < 20; ++id) lumGetParamInfo(id, &record);
        for (int32_t fade : {0, 1})
            for (int32_t rotation : {0, 1, 6, 99})
                for (int32_t length : {2, 5, 30}) {
                    setParam(PARAM_FADE_OUT, fade);
                    setParam(PARAM_ROTATION_SPEED, rotation);
                    setParam(PARAM_LINE_LENGTH, length);
                    setParam(PARAM_LINE_WIDTH, 1 + frames % 50);
                    setParam(PARAM_ZOOM_FACTOR, 1 + frames % 99);
                    setParam(PARAM_COLOR, 0x00336699 + frames);
                    lumStart();
                    for (int i = 0; i < 200; ++i) {
                        const VisualizerState& s = visualizerState();
                        const int32_t p = s.pointCount;
                        emptyFrames += p == 0;
                        fillingFrames += p > 0 && p < s.trailLength - 1;
                        fullFrames += p >= s.trailLength - 1;
                        const std::vector<uint8_t>& block = blocks.pick(i);
                        lumDisplaySoundData(canvases[i % 3], block.data(), static_cast<uint32_t>(block.size()));
                        ++frames;
                        if (i == 120) lumInit(&info);  // settings back to the defaults mid-run
                    }
                    lumEnd();
                }
        allocations = counter.count();
    }
    std::printf("%d frames (%d empty, %d filling, %d full), %zu allocations, %.3f per frame%s\n", frames, emptyFrames,
                fillingFrames, fullFrames, allocations, static_cast<double>(allocations) / frames,
                countsMalloc() ? "" : " (operator new only: a sanitizer owns malloc)");
    EXPECT_EQ(allocations, 0u);
    EXPECT_GT(emptyFrames, 0);
    EXPECT_GT(fillingFrames, 0);
    EXPECT_GT(fullFrames, 0);
    // The frames were drawn, not refused.
    EXPECT_GT(wide.count(GuardedCanvas::kBlank), 0u);
    EXPECT_LT(wide.count(GuardedCanvas::kBlank), 640u * 480u);
    EXPECT_TRUE(wide.guardsIntact() && odd.guardsIntact() && tiny.guardsIntact());
}

}  // namespace
}  // namespace gyrotrail::testing
