// The one record of settings and drawing state that every entry point shares.
#pragma once

#include <cstdint>

namespace gyrotrail {

inline constexpr int kTrailCapacity = 100;  // room in the arrays; at most 30 are ever used

struct VisualizerState {
    // The six settings the host can read and change.
    uint32_t color;         // 0x00BBGGRR; colour of the newest segment and base of the fade
    int32_t lineWidth;      // pen width in pixels, 1..50
    int32_t trailLength;    // points the trail keeps, 2..30
    int32_t rotationSpeed;  // 0 = no rotation; n > 0 turns by 3.1415/n per frame
    int32_t fadeOut;        // non-zero: repaint older segments in dimmer shades
    int32_t zoomDivisor;    // 1..99; 100 minus the zoom factor the host sees

    // Rotation and trail, advanced by the renderer.
    double angle;          // radians
    int32_t frameCounter;  // frames drawn with rotation since the last reset
    int32_t pointCount;    // index of the newest trail point; 0 = empty
    int32_t trailX[kTrailCapacity];
    int32_t trailY[kTrailCapacity];

    // Values the host hands over under ids 1-3; kept, never read.
    int32_t hostValue1;
    int32_t hostValue2;
    int32_t hostValue3;

    void* bitmap;  // the bitmap offered to the host; there is none
};

// The module's single instance: zero-filled at load, lives until unload.
VisualizerState& visualizerState();

// The defaults that lumInit sets. Leaves the trail, angle and counter alone,
// except that a trail longer than the default length restarts at the centre:
// otherwise its surplus segments would stay on screen for good.
void applyDefaults(VisualizerState& state);

// The restart that lumStart performs: empty trail, rotation from angle 0.
void restart(VisualizerState& state);

// True once the settings the renderer divides and indexes by are usable.
// Before lumInit the record is all zeros and a frame must not be drawn.
bool readyToDraw(const VisualizerState& state);

}  // namespace gyrotrail
