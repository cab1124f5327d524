// A fresh plug-in for every test: the state as at load, an empty recorder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "plugin/lum_plugin.h"
#include "plugin/visualizer_state.h"
#include "recording_frame.h"

namespace gyrotrail::testing {

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        visualizerState() = VisualizerState{};
        recorder() = RecordingOps{};
    }

    static VisualizerState& state() { return visualizerState(); }
    static RecordingOps& rec() { return recorder(); }

    static void init() {
        LumPluginInfo info{};
        ASSERT_EQ(lumInit(&info), 1);
    }

    // Sets `id` to `value`; returns the value the record holds afterwards.
    static int32_t set(uint32_t id, int32_t value, int32_t* result = nullptr) {
        LumParamInfo record{};
        record.value = value;
        const int32_t r = lumSetParamInfo(id, &record);
        if (result != nullptr) *result = r;
        return record.value;
    }

    static int32_t get(uint32_t id) {
        LumParamInfo record{};
        EXPECT_EQ(lumGetParamInfo(id, &record), 1) << "id " << id;
        return record.value;
    }

    // One frame from a block whose first third sums to `a` and the rest to `b`
    // (both in -127..127 per byte, spread over three bytes).
    static void frame(int8_t a, int8_t b, LumWindow window = reinterpret_cast<LumWindow>(0x77)) {
        const int8_t block[3] = {a, b, 0};
        ASSERT_EQ(lumDisplaySoundData(window, block, 3), 1);
    }
};

}  // namespace gyrotrail::testing
