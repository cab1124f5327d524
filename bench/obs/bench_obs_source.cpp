// The OBS source's cost per frame: libobs headless on a private Xvfb, 60 s
// of stereo sound at 48 kHz through a sound source of the benchmark's own
// into a lum_gyrotrail source at 1280x720 and 60 fps, every frame drawn.
// What counts is the processor time of the source's drawing thread ("lum-obs
// draw": cutting, the plug-in's frame, the copy into OBS's frame cache),
// read from the kernel's scheduler statistics. Beside it, in the same run,
// `lumhost render SOUND --null` of the same sound: its processor time as a
// child process (decoding the file, cutting, drawing).
//
// Usage: bench_obs_source [SECONDS] [RUNS]   (default 60 s, 3 runs)
#include <obs-nix-platform.h>
#include <obs.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <util/platform.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <X11/Xlib.h>

namespace {

constexpr int rate = 48000;
constexpr int fps = 60;

const char* soundName(void*) { return "bench sound"; }
void* makeNothing(obs_data_t*, obs_source_t*) { return new int(0); }
void freeNothing(void* data) { delete static_cast<int*>(data); }

float swing(long frame, int channel) {
    const double t = static_cast<double>(frame) / rate, pi = 3.14159265358979;
    if (channel == 0) return static_cast<float>(0.3 * std::sin(2 * pi * 0.9 * t) + 0.2 * std::sin(2 * pi * 110.0 * t));
    return static_cast<float>(0.3 * std::cos(2 * pi * 0.55 * t) + 0.2 * std::sin(2 * pi * 165.0 * t));
}

// The sound as 16-bit samples, so the WAV lumhost reads holds the same values.
std::vector<std::vector<float>> makeSound(long frames) {
    std::vector<std::vector<float>> planes(2, std::vector<float>(static_cast<std::size_t>(frames)));
    for (long f = 0; f < frames; ++f)
        for (int c = 0; c < 2; ++c) planes[static_cast<std::size_t>(c)][static_cast<std::size_t>(f)] = std::round(swing(f, c) * 32767) / 32768;
    return planes;
}

void writeWav(const std::string& path, const std::vector<std::vector<float>>& planes) {
    const auto frames = static_cast<uint32_t>(planes[0].size());
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    u32(36 + frames * 4);
    out.write("WAVEfmt ", 8);
    u32(16), u16(1), u16(2), u32(rate), u32(rate * 4), u16(4), u16(16);
    out.write("data", 4);
    u32(frames * 4);
    for (uint32_t f = 0; f < frames; ++f)
        for (int c = 0; c < 2; ++c) {
            const auto v = static_cast<int16_t>(std::lround(planes[static_cast<std::size_t>(c)][f] * 32768));
            out.write(reinterpret_cast<const char*>(&v), 2);
        }
}

// The processor time of this process's thread of that name, in seconds.
double threadSeconds(const std::string& name) {
    DIR* tasks = opendir("/proc/self/task");
    double seconds = -1;
    while (dirent* entry = readdir(tasks)) {
        const std::string folder = std::string("/proc/self/task/") + entry->d_name;
        std::string comm;
        std::getline(std::ifstream(folder + "/comm"), comm);
        if (comm != name) continue;
        unsigned long long ns = 0;
        std::ifstream(folder + "/schedstat") >> ns;
        seconds = static_cast<double>(ns) / 1e9;
    }
    closedir(tasks);
    return seconds;
}

std::atomic<long> drawn{0};
void frameDrawn(void*, calldata_t*) { ++drawn; }

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    const long frames = std::lround(seconds * rate);
    const long blocks = frames * fps / rate;

    int pipe[2];
    if (::pipe(pipe) != 0) return 1;
    const pid_t xvfb = fork();
    if (xvfb == 0) {
        const std::string fd = std::to_string(pipe[1]);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 2);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24", "-nolisten", "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipe[1]);
    std::string number;
    for (char c; read(pipe[0], &c, 1) == 1 && c != '\n';) number += c;
    Display* display = number.empty() ? nullptr : XOpenDisplay((":" + number).c_str());
    if (display == nullptr) {
        // ctest counts this as skipped.
        std::fprintf(stderr, "no Xvfb display: is Xvfb installed?\n");
        return 77;
    }
    base_set_log_handler([](int, const char*, va_list, void*) {}, nullptr);
    setenv("LUM_PATH", "", 1);
    setenv("DISPLAY", (":" + number).c_str(), 1);
    obs_set_nix_platform(OBS_NIX_PLATFORM_X11_EGL);
    obs_set_nix_platform_display(display);
    if (!obs_startup("en-US", nullptr, nullptr)) {
        std::fprintf(stderr, "obs_startup failed\n");
        return 1;
    }
    obs_video_info video{};
    video.graphics_module = "libobs-opengl";
    video.fps_num = fps;
    video.fps_den = 1;
    video.base_width = video.output_width = 1280;
    video.base_height = video.output_height = 720;
    video.output_format = VIDEO_FORMAT_BGRA;
    video.colorspace = VIDEO_CS_SRGB;
    video.range = VIDEO_RANGE_FULL;
    if (const int result = obs_reset_video(&video); result != OBS_VIDEO_SUCCESS) {
        std::fprintf(stderr, "obs_reset_video: %d\n", result);
        return 1;
    }
    obs_audio_info audio{rate, SPEAKERS_STEREO};
    obs_reset_audio(&audio);
    obs_source_info sound{};
    sound.id = "bench_sound";
    sound.type = OBS_SOURCE_TYPE_INPUT;
    sound.output_flags = OBS_SOURCE_AUDIO;
    sound.get_name = soundName;
    sound.create = makeNothing;
    sound.destroy = freeNothing;
    obs_register_source(&sound);
    obs_module_t* module = nullptr;
    if (obs_open_module(&module, LUMOBS_MODULE_PATH, LUMOBS_DATA_PATH) != MODULE_SUCCESS || !obs_init_module(module)) {
        std::fprintf(stderr, "cannot load %s\n", LUMOBS_MODULE_PATH);
        return 1;
    }

    const auto planes = makeSound(frames);
    char folder[] = "/tmp/bench-obs-XXXXXX";
    if (mkdtemp(folder) == nullptr) return 1;
    const std::string wav = std::string(folder) + "/sound.wav";
    writeWav(wav, planes);

    std::vector<double> obsPerFrame, lumhostPerFrame;
    for (int r = 0; r < runs; ++r) {
        obs_source_t* music = obs_source_create("bench_sound", "music", nullptr, nullptr);
        obs_data_t* settings = obs_data_create();
        obs_data_set_string(settings, "audio_source", "music");
        obs_data_set_int(settings, "zoom_factor", 3);
        obs_source_t* lum = obs_source_create("lum_gyrotrail", "figure", settings, nullptr);
        obs_data_release(settings);
        drawn = 0;
        signal_handler_connect(obs_source_get_signal_handler(lum), "frame_drawn", frameDrawn, nullptr);
        // Sound as a source plays it, each piece when its time comes, so OBS
        // takes the frames as it shows them.
        const uint64_t start = os_gettime_ns();
        const auto clock = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const double before = threadSeconds("lum-obs draw");
        for (long at = 0; at < frames; at += 1024) {
            const long count = std::min(1024L, frames - at);
            obs_source_audio piece{};
            piece.data[0] = reinterpret_cast<const uint8_t*>(planes[0].data() + at);
            piece.data[1] = reinterpret_cast<const uint8_t*>(planes[1].data() + at);
            piece.frames = static_cast<uint32_t>(count);
            piece.speakers = SPEAKERS_STEREO;
            piece.format = AUDIO_FORMAT_FLOAT_PLANAR;
            piece.samples_per_sec = rate;
            piece.timestamp = start + static_cast<uint64_t>(at * 1000000000LL / rate);
            std::this_thread::sleep_until(clock + std::chrono::microseconds(at * 1000000LL / rate));
            obs_source_output_audio(music, &piece);
        }
        while (drawn < blocks) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const double used = threadSeconds("lum-obs draw") - before;
        signal_handler_disconnect(obs_source_get_signal_handler(lum), "frame_drawn", frameDrawn, nullptr);
        obs_source_release(lum);
        obs_source_release(music);

        rusage children_before{}, children_after{};
        getrusage(RUSAGE_CHILDREN, &children_before);
        const std::string command = std::string(LUMHOST_PATH) + " render " + wav +
                                    " --null --quiet --size 1280x720 --fps 60 --set zoom-factor=3";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "failed: %s\n", command.c_str());
            return 1;
        }
        getrusage(RUSAGE_CHILDREN, &children_after);
        auto cpu = [](const rusage& u) {
            return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
        };
        const double lumhost = cpu(children_after) - cpu(children_before);
        obsPerFrame.push_back(used / static_cast<double>(blocks) * 1e6);
        lumhostPerFrame.push_back(lumhost / static_cast<double>(blocks) * 1e6);
        std::printf("run %d: OBS source %.3f s (%.1f µs a frame), lumhost render --null %.3f s (%.1f µs a frame), %ld frames\n", r + 1, used,
                    obsPerFrame.back(), lumhost, lumhostPerFrame.back(), blocks);
    }
    std::printf("median: OBS source %.1f µs a frame, lumhost %.1f µs a frame, ratio %.2f\n", median(obsPerFrame), median(lumhostPerFrame),
                median(obsPerFrame) / median(lumhostPerFrame));
    obs_shutdown();
    XCloseDisplay(display);
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);
    std::remove(wav.c_str());
    rmdir(folder);
    return 0;
}
