// The VLC module's processor time per picture against lumhost's: the same
// generated stereo WAV played through libvlc with --audio-visual=lum at
// 1280x720 and 60 fps (sound through amem, paced to its own times as a sound
// card would take it; pictures to vmem), and rendered by `lumhost render
// --null` at the same size and rate, alternately, several runs each.
//
// The module's time is its own (the drawing thread and the cutting on VLC's
// audio thread, which it reports at its end); lumhost's is the whole
// process's (user + system), decoding and drawing together.
//
// Usage: bench_vlc [SECONDS [RUNS]]   (default 10 s, 3 runs)
#include <vlc/vlc.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int rate = 44100;

void writeSound(const std::string& path, double seconds) {
    const auto frames = static_cast<uint32_t>(std::lround(seconds * rate));
    std::ofstream out(path, std::ios::binary);
    auto put = [&](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xff));
    };
    out.write("RIFF", 4);
    put(36 + frames * 4, 4);
    out.write("WAVEfmt ", 8);
    put(16, 4), put(1, 2), put(2, 2), put(rate, 4), put(rate * 4, 4), put(4, 2), put(16, 2);
    out.write("data", 4);
    put(frames * 4, 4);
    const double pi = 3.14159265358979;
    for (uint32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        // A bass line and a tone, different on each side.
        const double left = 0.4 * std::sin(2 * pi * 55 * t) * (0.6 + 0.4 * std::sin(2 * pi * 0.5 * t)) + 0.15 * std::sin(2 * pi * 440 * t);
        const double right = 0.35 * std::sin(2 * pi * 82.5 * t + 1) + 0.2 * std::sin(2 * pi * 660 * t) * std::cos(2 * pi * 0.3 * t);
        put(static_cast<uint16_t>(static_cast<int16_t>(std::lround(left * 32767))), 2);
        put(static_cast<uint16_t>(static_cast<int16_t>(std::lround(right * 32767))), 2);
    }
}

struct Run {
    std::mutex lock;
    std::string costLine;
    bool ended = false;
};

void playSound(void*, const void*, unsigned, int64_t pts) {
    const int64_t wait = pts - libvlc_clock();
    if (wait > 0) std::this_thread::sleep_for(std::chrono::microseconds(wait));
}

void* lockPicture(void* data, void** planes) {
    planes[0] = data;
    return nullptr;
}

void logLine(void* data, int, const libvlc_log_t* context, const char* format, va_list args) {
    const char* module = nullptr;
    const char* file = nullptr;
    unsigned line = 0;
    libvlc_log_get_context(context, &module, &file, &line);
    if (module == nullptr || std::strcmp(module, "lum") != 0) return;
    char text[1024];
    std::vsnprintf(text, sizeof text, format, args);
    if (std::strstr(text, "pictures shown") == nullptr) return;
    auto& run = *static_cast<Run*>(data);
    std::lock_guard guard(run.lock);
    run.costLine = text;
}

void onEnd(const libvlc_event_t*, void* data) {
    auto& run = *static_cast<Run*>(data);
    std::lock_guard guard(run.lock);
    run.ended = true;
}

// Milliseconds of processor time per picture in VLC.
double vlcPerPicture(const std::string& sound, double seconds) {
    setenv("VLC_PLUGIN_PATH", LUMVLC_MODULE_FOLDER, 1);
    const char* args[] = {"--no-media-library", "--no-video-title-show", "--no-stats", "--no-lua", "--aout=amem", "--audio-visual=lum"};
    libvlc_instance_t* vlc = libvlc_new(static_cast<int>(std::size(args)), args);
    if (vlc == nullptr) return -1;
    Run run;
    libvlc_log_set(vlc, logLine, &run);
    std::vector<unsigned char> picture(1280 * 720 * 4);
    libvlc_media_t* media = libvlc_media_new_path(vlc, sound.c_str());
    libvlc_media_player_t* player = libvlc_media_player_new_from_media(media);
    libvlc_media_release(media);
    libvlc_audio_set_callbacks(player, playSound, nullptr, nullptr, nullptr, nullptr, nullptr);
    libvlc_audio_set_format(player, "FL32", rate, 2);
    libvlc_video_set_callbacks(player, lockPicture, nullptr, nullptr, picture.data());
    libvlc_video_set_format(player, "RV32", 1280, 720, 1280 * 4);
    libvlc_event_attach(libvlc_media_player_event_manager(player), libvlc_MediaPlayerEndReached, onEnd, &run);
    libvlc_media_player_play(player);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds + 30);
    for (;;) {
        {
            std::lock_guard guard(run.lock);
            if (run.ended) break;
        }
        if (std::chrono::steady_clock::now() > deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    libvlc_media_player_stop(player);
    libvlc_media_player_release(player);
    libvlc_log_unset(vlc);
    libvlc_release(vlc);
    // "FILE: N pictures shown, B blocks drawn, D dropped, R runs, processor time T ms drawing and H ms handing the sound
    // over (K ms copying into VLC's pictures)"
    long long pictures = 0, blocks = 0, dropped = 0, runs = 0;
    double drawing = 0, cutting = 0, copying = 0;
    const auto at = run.costLine.find(": ");
    if (at == std::string::npos ||
        std::sscanf(run.costLine.c_str() + at + 2,
                    "%lld pictures shown, %lld blocks drawn, %lld dropped, %lld runs, processor time %lf ms drawing and %lf ms handing the "
                    "sound over (%lf ms copying",
                    &pictures, &blocks, &dropped, &runs, &drawing, &cutting, &copying) != 7 ||
        pictures == 0)
        return -1;
    std::printf("  vlc: %lld pictures (%lld blocks dropped), %.1f ms drawing (%.1f ms copying into VLC's pictures), %.1f ms handing the "
                "sound over\n",
                pictures, dropped, drawing, copying, cutting);
    return (drawing + cutting) / static_cast<double>(pictures);
}

// Milliseconds of processor time per frame of lumhost render --null.
double lumhostPerFrame(const std::string& sound, double seconds) {
    rusage before{};
    getrusage(RUSAGE_CHILDREN, &before);
    const pid_t child = fork();
    if (child == 0) {
        execl(LUMHOST_PATH, "lumhost", "render", sound.c_str(), "--null", "--quiet", "--size", "1280x720", "--fps", "60",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    rusage after{};
    getrusage(RUSAGE_CHILDREN, &after);
    auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1000 + static_cast<double>(t.tv_usec) / 1000; };
    const double total = ms(after.ru_utime) - ms(before.ru_utime) + ms(after.ru_stime) - ms(before.ru_stime);
    const double frames = std::ceil(seconds * 60);
    std::printf("  lumhost: %.0f frames, %.1f ms\n", frames, total);
    return total / frames;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    char folder[] = "/tmp/bench-vlc-XXXXXX";
    if (mkdtemp(folder) == nullptr) return 1;
    const std::string sound = std::string(folder) + "/music.wav";
    writeSound(sound, seconds);
    std::vector<double> vlcTimes, lumhostTimes;
    for (int i = 0; i < runs; ++i) {
        std::printf("run %d\n", i + 1);
        const double v = vlcPerPicture(sound, seconds);
        const double l = lumhostPerFrame(sound, seconds);
        if (v < 0 || l < 0) {
            std::fprintf(stderr, "bench_vlc: a run failed\n");
            return 1;
        }
        vlcTimes.push_back(v);
        lumhostTimes.push_back(l);
    }
    std::remove(sound.c_str());
    rmdir(folder);
    const double v = median(vlcTimes), l = median(lumhostTimes);
    std::printf("\n| | processor time per picture (median of %d) | runs |\n|---|---|---|\n", runs);
    auto list = [](const std::vector<double>& times) {
        std::string text;
        for (const double t : times) text += (text.empty() ? "" : ", ") + std::to_string(t).substr(0, 5);
        return text;
    };
    std::printf("| VLC module (drawing and cutting) | %.3f ms | %s |\n", v, list(vlcTimes).c_str());
    std::printf("| lumhost render --null (whole process) | %.3f ms | %s |\n", l, list(lumhostTimes).c_str());
    std::printf("| ratio | %.2fx | |\n", v / l);
    return 0;
}
