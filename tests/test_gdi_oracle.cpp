// The canvas against GDI's own answers, recorded with the GDI oracle under
// Wine (tests/gdi_oracle; README: "The GDI oracle"): seeded strokes over every
// pen width, and the scripted session's frames at a range of widths. Every
// pixel must agree.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "gdi_oracle/frame_sessions.h"
#include "gdi_oracle/stroke_cases.h"
#include "plugin/lum_plugin.h"
#include "plugin/visualizer_state.h"
#include "render/canvas_raster.h"
#include "trace/trace_script.h"

namespace gyrotrail {
namespace {

using LitRun = oracle::Run;
using oracle::Stroke;

std::vector<std::string> dataLines(const std::string& name) {
    std::ifstream in(std::string(GYROTRAIL_DATA_DIR) + "/" + name);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line[0] != '#') lines.push_back(line);
    return lines;
}

TEST(GdiOracle, RecordedStrokesEveryWidth) {
    const std::vector<std::string> lines = dataLines("gdi_strokes.txt");
    ASSERT_GE(lines.size(), 3000u) << "tests/data/gdi_strokes.txt";
    std::map<int32_t, int> strokes, differing;
    std::map<int32_t, std::string> first;
    int zeroLength = 0, farOff = 0;
    for (const std::string& line : lines) {
        Stroke s{};
        std::vector<LitRun> expected;
        ASSERT_TRUE(oracle::parseRecord(line, s, expected)) << line.substr(0, 80);
        std::vector<uint32_t> pixels(static_cast<size_t>(s.width) * s.height, 0);
        const PixelView view{pixels.data(), s.width, s.height, s.width};
        strokeSegment(view, s.x0, s.y0, s.x1, s.y1, s.pen, 0x00FFFFFF);
        const std::vector<LitRun> actual = oracle::litRuns(pixels.data(), s.width, s.height, s.width);
        strokes[s.pen] += 1;
        zeroLength += s.x0 == s.x1 && s.y0 == s.y1;
        farOff += std::abs(s.x1 - s.x0) > (1 << 20) || std::abs(s.y1 - s.y0) > (1 << 20);
        int64_t lit = 0;
        for (const LitRun& r : actual) lit += r.to - r.from + 1;
        EXPECT_EQ(coveredPixels(view, s.x0, s.y0, s.x1, s.y1, s.pen), lit) << oracle::formatStroke(s);
        const std::string where = oracle::firstDifferingPixel(expected, actual, s.width);
        if (!where.empty() && differing[s.pen]++ == 0) first[s.pen] = oracle::formatStroke(s) + ": " + where;
    }
    EXPECT_EQ(strokes.size(), 50u) << "every width from 1 to 50";
    EXPECT_GT(zeroLength, 100);
    EXPECT_GT(farOff, 10);
    for (const auto& [width, count] : differing)
        ADD_FAILURE() << "width " << width << ": " << count << " of " << strokes[width]
                      << " strokes differ from GDI; first " << first[width];
}

// The session with the native plug-in drawing into a host canvas.
class CanvasHost : public testing::ScriptHost {
public:
    LumWindow window() override { return &canvas_; }
    void resizeWindow(int32_t width, int32_t height) override {
        pixels_.assign(static_cast<size_t>(width) * height, 0);
        canvas_ = LumCanvas{width, height, width * 4, pixels_.data()};
    }
    void beginCommand(const std::string&) override {}
    uint32_t hash() const { return oracle::frameHash(pixels_.data(), canvas_.width, canvas_.height, canvas_.width); }

private:
    std::vector<uint32_t> pixels_;
    LumCanvas canvas_{};
};

CanvasHost* host = nullptr;
std::vector<uint32_t>* hashes = nullptr;

int32_t LUM_CALL displayAndHash(LumWindow window, const void* data, uint32_t length) {
    const int32_t result = lumDisplaySoundData(window, data, length);
    hashes->push_back(host->hash());
    return result;
}

TEST(GdiOracle, RecordedFramesOfTheScriptedSession) {
    bool ok = false;
    const std::string script =
        testing::readFile(std::string(GYROTRAIL_DATA_DIR) + "/trace_script.txt", ok);
    ASSERT_TRUE(ok);
    const std::vector<std::string> lines = dataLines("gdi_frames.txt");
    ASSERT_GE(lines.size(), 10u) << "tests/data/gdi_frames.txt";
    for (const std::string& line : lines) {
        int32_t width = 0;
        std::vector<uint32_t> expected;
        ASSERT_TRUE(oracle::parseFrameHashes(line, width, expected)) << line.substr(0, 40);
        visualizerState() = VisualizerState{};  // as at load
        CanvasHost session;
        std::vector<uint32_t> actual;
        host = &session;
        hashes = &actual;
        const testing::EntryPoints lum{lumInit, lumStart, lumEnd, lumSetParamInfo, displayAndHash};
        ASSERT_EQ(testing::runScript(oracle::scriptWithWidth(oracle::scriptWithLowColourBytes(script), width), lum,
                                     session),
                  "");
        ASSERT_EQ(actual.size(), expected.size()) << "width " << width;
        for (size_t i = 0; i < actual.size(); ++i)
            if (actual[i] != expected[i]) {
                ADD_FAILURE() << "width " << width << ": frame " << i << " of " << actual.size()
                              << " differs from GDI's";
                break;
            }
    }
}

}  // namespace
}  // namespace gyrotrail
