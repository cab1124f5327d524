// The live run with a plug-in slower than the frame rate, on a live host:
// how many of the frames it could draw it shows, how far behind its sound
// each picture is, and whether memory stays flat. Sound comes as OBS hands
// it over: 1024 sample frames every 21.3 ms, stamped on the wall clock.
//
//   bench_live_run SECONDS SLEEP_MS [HANG_AT]
//
// SLEEP_MS is the plug-in's time a frame (25 ms is 1.5 frame periods at
// 60 fps); HANG_AT > 0 makes it hang at that frame, to watch memory.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "live/live_run.h"

namespace {

using Clock = std::chrono::steady_clock;

long residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4;
}

int64_t sinceNs(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_live_run SECONDS SLEEP_MS [HANG_AT]\n");
        return 2;
    }
    const double seconds = std::atof(argv[1]);
    const int sleepMs = std::atoi(argv[2]);
    const int hangAt = argc > 3 ? std::atoi(argv[3]) : 0;
    constexpr int rate = 48000, fps = 60, piece = 1024;
    constexpr int64_t periodNs = 1000000000 / fps;

    const auto start = Clock::now();
    std::mutex lock;
    // ns from the end of each picture's sound (its block lasts a frame period)
    // to the newest sound handed over when the picture was shown.
    std::vector<int64_t> behind;
    int64_t newest = 0;

    lumlive::Options options;
    options.pluginFile = PACED_PLUGIN_PATH;
    options.rate = rate;
    options.channels = 2;
    options.fpsNum = fps;
    options.width = 1280;
    options.height = 720;
    options.live = true;
    options.silenceWhenStopped = true;
    options.settings = {{10, sleepMs}, {11, hangAt}};
    options.onPicture = [&](const lumlive::Picture& picture) {
        std::lock_guard guard(lock);
        behind.push_back(newest - (picture.date + periodNs));
    };
    options.log = [](lumlive::LogLevel, const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
    lumlive::LiveRun run(options);

    std::vector<float> sound(2 * piece, 0.1f);
    std::vector<long> memory;
    int64_t pushed = 0;
    const auto total = static_cast<int64_t>(seconds * rate);
    while (pushed < total) {
        const int64_t due = lumlive::soundTime(pushed, rate);
        std::this_thread::sleep_until(start + std::chrono::nanoseconds(due));
        run.pushInterleaved(sound.data(), piece, lumrules::SampleFormat::f32, due);
        pushed += piece;
        {
            std::lock_guard guard(lock);
            newest = lumlive::soundTime(pushed, rate);
        }
        if (pushed % (rate * 5 / piece * piece) < piece) memory.push_back(residentKiB());
    }
    const auto status = run.status();
    run.stop();
    const double elapsed = static_cast<double>(sinceNs(start)) / 1e9;

    std::sort(behind.begin(), behind.end());
    const double couldDraw = sleepMs > 0 ? std::min(elapsed * 1000.0 / sleepMs, elapsed * fps) : elapsed * fps;
    std::printf("%.1f s of sound at %d fps, the plug-in %d ms a frame%s\n", elapsed, fps, sleepMs,
                hangAt > 0 ? (" hanging at frame " + std::to_string(hangAt)).c_str() : "");
    std::printf("pictures shown: %zu of the %.0f it could draw (%.0f%%); blocks dropped: %lld\n", behind.size(), couldDraw,
                100.0 * static_cast<double>(behind.size()) / couldDraw, status.dropped);
    if (!behind.empty())
        std::printf("behind the end of its sound when shown: median %.1f, 95%% %.1f, most %.1f frame periods\n",
                    static_cast<double>(behind[behind.size() / 2]) / periodNs,
                    static_cast<double>(behind[behind.size() * 95 / 100]) / periodNs, static_cast<double>(behind.back()) / periodNs);
    std::printf("resident memory every 5 s (KiB):");
    for (long kib : memory) std::printf(" %ld", kib);
    std::printf("\n");
    return 0;
}
