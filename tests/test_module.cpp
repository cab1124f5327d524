// The built gyrotrail.lum as a host sees it: loaded at run time, found by
// name, drawing into a canvas.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <vector>

#include "plugin/lum_plugin.h"

namespace {

struct Module {
    void* handle = dlopen(GYROTRAIL_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ~Module() {
        if (handle != nullptr) dlclose(handle);
    }
    template <class F>
    F* find(const char* name) {
        return reinterpret_cast<F*>(dlsym(handle, name));
    }
};

TEST(Module, ExportsTheSevenEntryPoints) {
    Module m;
    ASSERT_NE(m.handle, nullptr) << dlerror();
    for (const char* name : {"lumInit", "lumStart", "lumEnd", "lumGetBitmap", "lumGetParamInfo", "lumSetParamInfo",
                             "lumDisplaySoundData"})
        EXPECT_NE(dlsym(m.handle, name), nullptr) << name;
    EXPECT_EQ(dlsym(m.handle, "_ZN9gyrotrail16visualizerStateEv"), nullptr) << "internals stay hidden";
}

TEST(Module, DrawsTheFigureIntoAHostCanvas) {
    Module m;
    ASSERT_NE(m.handle, nullptr) << dlerror();
    auto init = m.find<decltype(lumInit)>("lumInit");
    auto start = m.find<decltype(lumStart)>("lumStart");
    auto setParam = m.find<decltype(lumSetParamInfo)>("lumSetParamInfo");
    auto display = m.find<decltype(lumDisplaySoundData)>("lumDisplaySoundData");
    auto end = m.find<decltype(lumEnd)>("lumEnd");

    LumPluginInfo info{};
    ASSERT_EQ(init(&info), 1);
    EXPECT_STREQ(info.shortName, "Gyrotrailscope");
    LumParamInfo rotation{};
    rotation.value = 0;
    ASSERT_EQ(setParam(PARAM_ROTATION_SPEED, &rotation), 1);
    LumParamInfo zoom{};
    zoom.value = 99;
    ASSERT_EQ(setParam(PARAM_ZOOM_FACTOR, &zoom), 1);

    std::vector<uint32_t> pixels(64 * 48, 0);
    LumCanvas canvas{64, 48, 64 * 4, pixels.data()};
    ASSERT_EQ(start(), 1);
    const int8_t right[3] = {0, 20, 0};  // 20 pixels right of the centre
    ASSERT_EQ(display(&canvas, right, 3), 1);
    EXPECT_EQ(pixels[24 * 64 + 32], 0x00FFFFFFu) << "the trail starts at the centre";
    EXPECT_EQ(pixels[24 * 64 + 50], 0x00FFFFFFu);
    EXPECT_EQ(pixels[24 * 64 + 60], 0u);
    EXPECT_EQ(pixels[0], 0u);

    // Four more frames fill the trail of five; the fifth paints the first segment black.
    const int8_t down[3] = {15, 0, 0};
    for (int i = 0; i < 4; ++i) ASSERT_EQ(display(&canvas, i % 2 ? right : down, 3), 1);
    EXPECT_EQ(pixels[24 * 64 + 40], 0u) << "the oldest segment is painted over";
    EXPECT_EQ(end(), 1);

    // No canvas, no drawing, no crash.
    EXPECT_EQ(display(nullptr, right, 3), 1);
}

}  // namespace
