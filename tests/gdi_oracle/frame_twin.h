// The scripted session run twice in step, under Wine: by the built module
// into a real window, and by the plug-in's code with the recording backend,
// whose calls each frame are drawn on a canvas. After every frame the window
// and the canvas are compared pixel by pixel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gyrotrail::oracle {

struct FrameDifference {
    int32_t frame = -1;  // the first frame that differs; -1 when none does
    int32_t x = 0, y = 0;
    uint32_t gdi = 0, canvas = 0;
    int32_t differingFrames = 0;
    int64_t differingPixels = 0;
};

struct SessionFrames {
    std::string problem;            // what went wrong running the script
    std::vector<uint32_t> hashes;   // frameHash of the window after each frame
    FrameDifference difference;
};

// Runs `script` (already set to one width) through both.
SessionFrames runTwinSession(const std::string& script);

}  // namespace gyrotrail::oracle
