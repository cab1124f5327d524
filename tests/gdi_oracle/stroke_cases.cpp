#include "stroke_cases.h"

#include <algorithm>
#include <sstream>

namespace gyrotrail::oracle {

namespace {

// xorshift32: the same numbers on every build and compiler.
class Numbers {
public:
    explicit Numbers(uint32_t seed) : state_(seed != 0 ? seed : 1) {}
    uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    // A whole number in [lo, hi].
    int32_t in(int32_t lo, int32_t hi) {
        const uint64_t span = static_cast<uint64_t>(static_cast<int64_t>(hi) - lo) + 1;
        return static_cast<int32_t>(lo + static_cast<int64_t>(next() % span));
    }

private:
    uint32_t state_;
};

}  // namespace

std::vector<Run> litRuns(const uint32_t* pixels, int32_t width, int32_t height, int32_t stridePixels) {
    std::vector<Run> runs;
    for (int32_t y = 0; y < height; ++y) {
        const uint32_t* row = pixels + static_cast<int64_t>(y) * stridePixels;
        for (int32_t x = 0; x < width; ++x) {
            if (row[x] == 0) continue;
            int32_t end = x;
            while (end + 1 < width && row[end + 1] != 0) ++end;
            runs.push_back(Run{y, x, end});
            x = end;
        }
    }
    return runs;
}

std::vector<Stroke> randomStrokes(uint32_t seed, int32_t count) {
    Numbers n(seed);
    constexpr int32_t kSizes[][2] = {{96, 72}, {61, 47}, {40, 90}};
    std::vector<Stroke> strokes;
    strokes.reserve(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        const int32_t pen = 1 + i % 50;
        const int32_t* size = kSizes[(i / 50) % 3];
        const int32_t w = size[0], h = size[1];
        Stroke s{w, h, n.in(-8, w + 8), n.in(-8, h + 8), 0, 0, pen};
        // GDI takes long over strokes that run millions of pixels, so only
        // one stroke in a thousand does (tests/gdi_oracle/far_strokes.txt
        // holds more of them for the recorded answers).
        switch (i % 1000 == 999 ? n.in(8, 9) : n.in(0, 7)) {
            case 0:  // zero length
                s.x1 = s.x0;
                s.y1 = s.y0;
                break;
            case 1:  // one pixel, or a few
                s.x1 = s.x0 + n.in(-2, 2);
                s.y1 = s.y0 + n.in(-2, 2);
                break;
            case 2:  // short, any direction
                s.x1 = s.x0 + n.in(-12, 12);
                s.y1 = s.y0 + n.in(-12, 12);
                break;
            case 3:  // axis-aligned or diagonal
            {
                const int32_t d = n.in(-60, 60), kind = n.in(0, 3);
                s.x1 = s.x0 + (kind == 1 ? 0 : d);
                s.y1 = s.y0 + (kind == 0 ? 0 : (kind == 3 ? -d : d));
                break;
            }
            case 4:  // one end well off the canvas
                s.x1 = n.in(-400, w + 400);
                s.y1 = n.in(-400, h + 400);
                break;
            case 5:  // both ends far off
                s.x0 = n.in(-5000, w + 5000);
                s.y0 = n.in(-5000, h + 5000);
                s.x1 = n.in(-5000, w + 5000);
                s.y1 = n.in(-5000, h + 5000);
                break;
            case 8:  // one end far off, up to 2^23 away
                s.x1 = s.x0 + n.in(-(1 << 23), 1 << 23);
                s.y1 = s.y0 + n.in(-(1 << 23), 1 << 23);
                break;
            case 9:  // through the canvas from 2^23 away on both sides
            {
                const int32_t fx = n.in(-(1 << 23), 1 << 23), fy = n.in(-(1 << 23), 1 << 23);
                s.x1 = s.x0 + fx + n.in(-2, 2);
                s.y1 = s.y0 + fy + n.in(-2, 2);
                s.x0 -= fx;
                s.y0 -= fy;
                break;
            }
            default:  // both on or near the canvas
                s.x1 = n.in(-8, w + 8);
                s.y1 = n.in(-8, h + 8);
                break;
        }
        strokes.push_back(s);
    }
    return strokes;
}

std::string formatStroke(const Stroke& s) {
    std::ostringstream out;
    out << s.width << ' ' << s.height << ' ' << s.x0 << ' ' << s.y0 << ' ' << s.x1 << ' ' << s.y1 << ' ' << s.pen;
    return out.str();
}

std::string formatRecord(const Stroke& s, const std::vector<Run>& runs) {
    std::ostringstream out;
    out << formatStroke(s) << " :";
    for (const Run& r : runs) out << ' ' << r.y << ':' << r.from << '-' << r.to;
    return out.str();
}

bool parseStroke(const std::string& line, Stroke& s) {
    std::istringstream in(line);
    return static_cast<bool>(in >> s.width >> s.height >> s.x0 >> s.y0 >> s.x1 >> s.y1 >> s.pen) && s.width > 0 &&
           s.height > 0;
}

bool parseRecord(const std::string& line, Stroke& s, std::vector<Run>& runs) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos || !parseStroke(line.substr(0, colon), s)) return false;
    runs.clear();
    std::istringstream in(line.substr(colon + 1));
    std::string item;
    while (in >> item) {
        Run r{};
        char c1 = 0, c2 = 0;
        std::istringstream part(item);
        if (!(part >> r.y >> c1 >> r.from >> c2 >> r.to) || c1 != ':' || c2 != '-') return false;
        runs.push_back(r);
    }
    return true;
}

std::string firstDifferingPixel(const std::vector<Run>& expected, const std::vector<Run>& actual, int32_t width) {
    if (expected == actual) return "";
    // Rows in order; within the first row that differs, the first pixel.
    auto rowOf = [](const std::vector<Run>& runs, int32_t y) {
        std::vector<int32_t> xs;
        for (const Run& r : runs)
            if (r.y == y)
                for (int32_t x = r.from; x <= r.to; ++x) xs.push_back(x);
        return xs;
    };
    std::vector<int32_t> rows;
    for (const Run& r : expected) rows.push_back(r.y);
    for (const Run& r : actual) rows.push_back(r.y);
    std::sort(rows.begin(), rows.end());
    for (int32_t y : rows) {
        const std::vector<int32_t> e = rowOf(expected, y), a = rowOf(actual, y);
        if (e == a) continue;
        for (int32_t x = 0; x < width; ++x) {
            const bool inE = std::binary_search(e.begin(), e.end(), x), inA = std::binary_search(a.begin(), a.end(), x);
            if (inE != inA) {
                std::ostringstream out;
                out << "pixel (" << x << ", " << y << "): expected " << (inE ? "lit" : "unlit");
                return out.str();
            }
        }
    }
    return "runs differ";
}

}  // namespace gyrotrail::oracle
