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
//   gdi_probe frames SCRIPT [W...]         the scripted session at each pen
//                                          width (default 1 to 50), by the
//                                          module in a window and by the
//                                          canvas, compared after every frame
//   gdi_probe colour VALUE...              the pixel a one-pixel and a wide pen
//                                          of each colour value put down
//   gdi_probe frame-hashes SCRIPT W...     the window's frame hashes of the
//                                          session at each width, recorded
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "frame_sessions.h"
#include "frame_twin.h"
#include "gdi_window.h"
#include "trace/trace_script.h"
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

int colours(int argc, char** argv) {
    GdiWindow window;
    for (int i = 2; i < argc; ++i) {
        const auto value = static_cast<COLORREF>(std::strtoul(argv[i], nullptr, 0));
        std::cout << argv[i];
        for (int32_t pen : {1, 5}) {
            window.prepare(20, 20);
            window.draw(Stroke{20, 20, 2, 10, 18, 10, pen}, value);
            char text[32];
            std::snprintf(text, sizeof text, " width %d: 0x%06x", pen, static_cast<unsigned>(window.read()[10 * 20 + 10]));
            std::cout << text;
        }
        std::cout << '\n';
    }
    return 0;
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

int frames(const std::string& script, const std::vector<int32_t>& widths, bool recordHashes) {
    int failing = 0;
    for (int32_t w : widths) {
        const SessionFrames session = runTwinSession(scriptWithWidth(scriptWithLowColourBytes(script), w));
        if (!session.problem.empty()) {
            std::cerr << "width " << w << ": " << session.problem << "\n";
            return 2;
        }
        if (recordHashes) {
            std::cout << formatFrameHashes(w, session.hashes) << '\n';
            continue;
        }
        const FrameDifference& d = session.difference;
        std::cout << "width " << w << ": " << d.differingFrames << " of " << session.hashes.size()
                  << " frames differ, " << d.differingPixels << " pixels";
        if (d.frame >= 0) {
            char colours[64];
            std::snprintf(colours, sizeof colours, "GDI 0x%06x, canvas 0x%06x", static_cast<unsigned>(d.gdi),
                          static_cast<unsigned>(d.canvas));
            std::cout << "; first frame " << d.frame << " pixel (" << d.x << ", " << d.y << "): " << colours;
        }
        std::cout << '\n';
        failing += d.differingFrames != 0 ? 1 : 0;
    }
    if (!recordHashes) std::cout << failing << " of " << widths.size() << " widths differ\n";
    return failing == 0 ? 0 : 1;
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
    if (mode == "colour") return colours(argc, argv);
    if ((mode == "frames" && argc >= 3) || (mode == "frame-hashes" && argc >= 4)) {
        bool ok = false;
        const std::string script = gyrotrail::testing::readFile(argv[2], ok);
        if (!ok) {
            std::cerr << argv[2] << ": cannot read\n";
            return 2;
        }
        std::vector<int32_t> widths;
        for (int i = 3; i < argc; ++i) widths.push_back(static_cast<int32_t>(std::strtol(argv[i], nullptr, 10)));
        if (widths.empty())
            for (int32_t w = 1; w <= 50; ++w) widths.push_back(w);
        return frames(script, widths, mode == "frame-hashes");
    }
    std::cerr << "usage: gdi_probe record STROKES | random SEED COUNT | check SEED COUNT | frames SCRIPT [W...] | frame-hashes SCRIPT W...\n";
    return 2;
}
