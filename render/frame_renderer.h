// One frame of the rotating, fading trail, drawn through any drawing backend.
#pragma once

#include <cmath>
#include <cstdint>

#include "plugin/visualizer_state.h"
#include "render/block_reduction.h"
#include "render/drawing_ops.h"

namespace gyrotrail {

inline constexpr double kRotationStep = 3.1415;  // not pi: the figure's own step

// Truncation toward zero into 32 bits, saturating where the value does not fit.
inline int32_t truncateToInt32(double value) {
    if (!(value > -2147483649.0)) return value != value ? 0 : INT32_MIN;
    if (!(value < 2147483648.0)) return INT32_MAX;
    return static_cast<int32_t>(value);
}

// The pen colour of a faded segment: each of red, green and blue scaled by
// factor/n with unsigned division; the top byte is 0.
inline uint32_t fadeColour(uint32_t colour, uint32_t factor, uint32_t n) {
    const uint32_t r = (colour & 0xFFu) * factor / n;
    const uint32_t g = ((colour >> 8) & 0xFFu) * factor / n;
    const uint32_t b = ((colour >> 16) & 0xFFu) * factor / n;
    return r | (g << 8) | (b << 16);
}

// Create, select, one line, select back, delete: no pen outlives its segment.
template <DrawingOps Ops>
void drawSegmentTo(Ops& ops, Handle dc, int32_t width, uint32_t colour, int32_t x, int32_t y) {
    Handle pen = ops.createPen(kPenSolid, width, colour);
    Handle previous = ops.selectObject(dc, pen);
    ops.lineTo(dc, x, y);
    ops.selectObject(dc, previous);
    ops.deleteObject(pen);
}

// The next angle and counter after a frame drawn with the current speed.
inline void advanceRotation(VisualizerState& s) {
    if (s.rotationSpeed <= 0) {
        s.angle = 0.0;
        return;
    }
    s.frameCounter += 1;
    s.angle += kRotationStep / static_cast<double>(s.rotationSpeed);
    if (s.frameCounter >= 2 * s.rotationSpeed) {
        s.frameCounter = 0;
        s.angle = 0.0;
    }
}

// Draws one frame for one block of sound data into `window` and advances the
// trail and the rotation. Returns 1; 0 for null data with a non-zero length.
// Nothing is drawn or changed when the settings are not yet initialised or
// when the window gives no drawing context.
template <DrawingOps Ops>
int32_t drawFrame(VisualizerState& s, Ops& ops, Handle window, const uint8_t* data, uint32_t length) {
    if (data == nullptr && length != 0) return 0;
    if (!readyToDraw(s)) return 1;

    Handle dc = ops.getDC(window);
    if (dc == nullptr) return 1;
    ClientRect rect{0, 0, 0, 0};
    if (!ops.getClientRect(window, &rect)) {
        ops.releaseDC(window, dc);
        return 1;
    }
    const int32_t cx = rect.right / 2;
    const int32_t cy = rect.bottom / 2;

    const BlockSums sums = reduceBlock(data, length);

    const int32_t n = s.trailLength;
    const int32_t p = s.pointCount;
    if (p == 0) {
        ops.moveToEx(dc, cx, cy);
        s.trailX[0] = cx;
        s.trailY[0] = cy;
    } else if (p < n - 1) {
        ops.moveToEx(dc, s.trailX[p], s.trailY[p]);
    } else {
        ops.moveToEx(dc, s.trailX[0], s.trailY[0]);
        if (s.fadeOut != 0) {
            for (int32_t j = 1; j <= n - 1; ++j)
                drawSegmentTo(ops, dc, s.lineWidth,
                              fadeColour(s.color, static_cast<uint32_t>(j - 1), static_cast<uint32_t>(n)),
                              s.trailX[j], s.trailY[j]);
        } else {
            drawSegmentTo(ops, dc, s.lineWidth, 0u, s.trailX[1], s.trailY[1]);
        }
        for (int32_t i = 0; i <= n - 2; ++i) {
            s.trailX[i] = s.trailX[i + 1];
            s.trailY[i] = s.trailY[i + 1];
        }
        ops.moveToEx(dc, s.trailX[p], s.trailY[p]);
    }

    // Signed division truncates toward zero; the divisor is at least 1.
    const double a = sums.sumA / s.zoomDivisor;
    const double b = sums.sumB / s.zoomDivisor;

    // The vector (b, a) turned by the angle about the centre; window y grows
    // downward. Grouped exactly as written so every build rounds alike.
    const double theta = s.angle;
    const int32_t x = truncateToInt32((b * std::cos(theta) + cx) - a * std::sin(theta));
    const int32_t y = truncateToInt32((b * std::sin(theta) + a * std::cos(theta)) + cy);
    drawSegmentTo(ops, dc, s.lineWidth, s.color, x, y);

    if (p < n - 1) s.pointCount = p + 1;
    s.trailX[s.pointCount] = x;
    s.trailY[s.pointCount] = y;

    ops.releaseDC(window, dc);
    advanceRotation(s);
    return 1;
}

}  // namespace gyrotrail
