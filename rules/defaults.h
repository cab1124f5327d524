// The defaults and limits every front end shares: the canvas, the frame rate
// and the figure's delay against its sound.
#pragma once

namespace lumrules {

// The canvas a front end draws on unless told otherwise.
inline constexpr int defaultWidth = 1280;
inline constexpr int defaultHeight = 720;

// Frames (and so sound blocks) per second.
inline constexpr int defaultFps = 60;
inline constexpr int minFps = 1;
inline constexpr int maxFps = 1000;

// How far the figure may be shown after (positive) or before (negative) its
// sound, in milliseconds. Live sound cannot be shown before it arrives.
inline constexpr int maxDelayMs = 2000;
inline constexpr int minDelayMs = -maxDelayMs;
inline constexpr int minLiveDelayMs = 0;
// The step of the delay keys.
inline constexpr int delayStepMs = 10;

}  // namespace lumrules
