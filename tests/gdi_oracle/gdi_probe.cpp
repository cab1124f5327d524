// The GDI oracle: strokes drawn with the real calls into a real window, read
// back, and either written down or compared with the canvas.
//
//   gdi_probe record STROKES > RECORDS     each stroke line of the file
//                                          ("W H x0 y0 x1 y1 width"), recorded
//   gdi_probe random SEED COUNT > RECORDS  the seeded random list, recorded
//   gdi_probe check SEED COUNT             the seeded random list drawn by GDI
//                                          and by the canvas; per width, the
//                                          strokes that differ and the first
//                                          differing pixel. Exit 0 when none.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "gdi_window.h"
#include "render/canvas_raster.h"
#include "stroke_cases.h"

namespace gyrotrail::oracle {
namespace {

std::vector<Run> gdiRuns(GdiWindow& window, const Stroke& s) {
    if (!window.prepare(s.width, s.height)) {
        std::cerr << "no window of " << s.width << "x" << s.height << "\n";
        std::exit(2);
    }
    window.draw(s);
    const std::vector<uint32_t>& pixels = window.read();
    return litRuns(pixels.data(), s.width, s.height, s.width);
}

std::vector<Run> canvasRuns(const Stroke& s) {
    std::vector<uint32_t> pixels(static_cast<size_t>(s.width) * s.height, 0);
    strokeSegment(PixelView{pixels.data(), s.width, s.height, s.width}, s.x0, s.y0, s.x1, s.y1, s.pen, 0x00FFFFFF);
    return litRuns(pixels.data(), s.width, s.height, s.width);
}

int record(const std::vector<Stroke>& strokes) {
    GdiWindow window;
    for (const Stroke& s : strokes) std::cout << formatRecord(s, gdiRuns(window, s)) << '\n';
    return 0;
}

int check(uint32_t seed, int32_t count) {
    GdiWindow window;
    constexpr int kWidths = 50;
    int strokes[kWidths + 1] = {}, differing[kWidths + 1] = {};
    std::string first[kWidths + 1];
    for (const Stroke& s : randomStrokes(seed, count)) {
        const int w = s.pen;
        strokes[w] += 1;
        const std::vector<Run> expected = gdiRuns(window, s), actual = canvasRuns(s);
        const std::string where = firstDifferingPixel(expected, actual, s.width);
        if (where.empty()) continue;
        if (differing[w]++ == 0) first[w] = formatStroke(s) + ": " + where;
    }
    int total = 0;
    for (int w = 1; w <= kWidths; ++w) {
        total += differing[w];
        std::cout << "width " << w << ": " << differing[w] << " of " << strokes[w] << " strokes differ";
        if (differing[w] != 0) std::cout << "; first " << first[w];
        std::cout << '\n';
    }
    std::cout << total << " of " << count << " strokes differ\n";
    return total == 0 ? 0 : 1;
}

}  // namespace
}  // namespace gyrotrail::oracle

int main(int argc, char** argv) {
    using namespace gyrotrail::oracle;
    _setmode(_fileno(stdout), _O_BINARY);
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "record" && argc == 3) {
        std::ifstream in(argv[2]);
        if (!in) {
            std::cerr << argv[2] << ": cannot read\n";
            return 2;
        }
        std::vector<Stroke> strokes;
        std::string line;
        while (std::getline(in, line)) {
            Stroke s{};
            if (!line.empty() && line[0] != '#' && parseStroke(line, s)) strokes.push_back(s);
        }
        return record(strokes);
    }
    if ((mode == "random" || mode == "check") && argc == 4) {
        const auto seed = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 0));
        const auto count = static_cast<int32_t>(std::strtol(argv[3], nullptr, 0));
        return mode == "random" ? record(randomStrokes(seed, count)) : check(seed, count);
    }
    std::cerr << "usage: gdi_probe record STROKES | random SEED COUNT | check SEED COUNT\n";
    return 2;
}
