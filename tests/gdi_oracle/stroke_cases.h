// Stroke lists shared by the GDI oracle and the canvas: the strokes, the
// seeded lists both sides draw, and the text form the oracle's answers are
// recorded in.
//
// A recorded stroke is one line:
//   W H x0 y0 x1 y1 width : y:from-to y:from-to ...
// the canvas size, the stroke, and every run of lit pixels, row by row, left
// to right (both ends inclusive).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gyrotrail::oracle {

struct Stroke {
    int32_t width, height;  // the canvas
    int32_t x0, y0, x1, y1;
    int32_t pen;            // pen width
};

struct Run {
    int32_t y, from, to;
    bool operator==(const Run&) const = default;
};

// The lit runs of a top-down pixel buffer; a pixel is lit when not 0.
std::vector<Run> litRuns(const uint32_t* pixels, int32_t width, int32_t height, int32_t stridePixels);

// Seeded strokes over every pen width 1 to 50 (in turn), every direction,
// zero-length, one-pixel and long segments, end points on, near and far off
// the canvas (up to 2^23 pixels away, where GDI still draws every stroke as
// its geometry says). The same seed gives the same list on every build.
std::vector<Stroke> randomStrokes(uint32_t seed, int32_t count);

std::string formatStroke(const Stroke& s);
std::string formatRecord(const Stroke& s, const std::vector<Run>& runs);
// Parses a recorded line; false when it is not one.
bool parseRecord(const std::string& line, Stroke& s, std::vector<Run>& runs);
// Parses a stroke line (a record's part before ':'); false when it is not one.
bool parseStroke(const std::string& line, Stroke& s);

// The first difference between two sets of runs: "pixel (x, y): expected lit"
// or "... unlit"; empty when they are the same.
std::string firstDifferingPixel(const std::vector<Run>& expected, const std::vector<Run>& actual, int32_t width);

}  // namespace gyrotrail::oracle
