#include "vlc_session.h"

#include <vlc/vlc.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <malloc.h>
#include <memory>
#include <mutex>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

namespace vlctest {
namespace {

void sleepUntil(int64_t when) {
    const int64_t wait = when - libvlc_clock();
    if (wait > 0) std::this_thread::sleep_for(std::chrono::microseconds(wait));
}

void setEnvironment(const std::vector<std::string>& settings) {
    for (const auto& setting : settings) {
        const auto equals = setting.find('=');
        setenv(setting.substr(0, equals).c_str(), setting.substr(equals + 1).c_str(), 1);
    }
}

std::vector<std::string> baseArgs() {
    return {"--no-plugins-cache", "--no-media-library", "--no-video-title-show", "--no-stats", "--no-lua", "--no-snapshot-preview",
            "--audio-visual=lum", "--no-audio-time-stretch", "--aout=amem",
            // Every picture is shown, however late a loaded machine makes it: the tests count them.
            "--no-drop-late-frames"};
}

struct Session {
    std::mutex lock;
    std::condition_variable changed;
    Played played;
    std::vector<unsigned char> buffer;
    int rate = 44100;
    int pictureBytes = 0;
    bool seekPending = false;
    bool seekDone = false;
    int64_t lastEnd = 0;  // when the last sound block's last sample is heard
    int64_t lastHeapSample = 0;
};

// amem: each block is taken when it is due, as a sound card takes it.
void playSound(void* data, const void*, unsigned count, int64_t pts) {
    auto& s = *static_cast<Session*>(data);
    {
        std::lock_guard guard(s.lock);
        s.played.sound.push_back({pts, count});
        s.played.soundFrames += count;
        s.lastEnd = pts + static_cast<int64_t>(count) * 1000000 / s.rate;
        const int64_t now = libvlc_clock();
        if (now - s.lastHeapSample >= 250000) {
            s.played.heapInUse.emplace_back(now, mallinfo2().uordblks);
            s.lastHeapSample = now;
        }
    }
    sleepUntil(pts);
}

// The end: wait until the last sound is heard, and the pictures with it.
void drainSound(void* data) {
    auto& s = *static_cast<Session*>(data);
    int64_t end = 0;
    {
        std::lock_guard guard(s.lock);
        end = s.lastEnd;
    }
    sleepUntil(end + 150000);
}

void* lockPicture(void* data, void** planes) {
    auto& s = *static_cast<Session*>(data);
    planes[0] = s.buffer.data();
    return nullptr;
}

void showPicture(void* data, void*) {
    auto& s = *static_cast<Session*>(data);
    std::lock_guard guard(s.lock);
    std::string picture(reinterpret_cast<const char*>(s.buffer.data()), static_cast<std::size_t>(s.pictureBytes));
    // The output shows the last picture again while no new one comes.
    if (!s.played.pictures.empty() && s.played.pictures.back() == picture) return;
    s.played.pictures.push_back(std::move(picture));
    s.played.shownAt.push_back(libvlc_clock());
    if (s.seekDone && s.played.seekShownFrom < 0) s.played.seekShownFrom = static_cast<int64_t>(s.played.pictures.size()) - 1;
    s.changed.notify_all();
}

void logLine(void* data, int level, const libvlc_log_t* context, const char* format, va_list args) {
    auto& s = *static_cast<Session*>(data);
    char text[2048];
    std::vsnprintf(text, sizeof text, format, args);
    const char* module = nullptr;
    const char* file = nullptr;
    unsigned line = 0;
    libvlc_log_get_context(context, &module, &file, &line);
    std::string entry = std::string(module != nullptr ? module : "?") + ": " + text;
    std::lock_guard guard(s.lock);
    if (level == LIBVLC_ERROR) s.played.errors.push_back(entry);
    if (module != nullptr && std::strcmp(module, "lum") == 0) {
        s.played.lumLines.push_back(entry);
        if (level == LIBVLC_ERROR) s.played.lumErrors.push_back(entry);
    }
}

void onEnd(const libvlc_event_t*, void* data) {
    auto& s = *static_cast<Session*>(data);
    std::lock_guard guard(s.lock);
    s.played.ended = true;
    s.changed.notify_all();
}

}  // namespace

Played play(const std::string& file, const PlayOptions& options) {
    setenv("VLC_PLUGIN_PATH", LUMVLC_MODULE_FOLDER, 1);
    setEnvironment(options.environment);
    auto args = baseArgs();
    args.insert(args.end(), options.args.begin(), options.args.end());
    std::vector<const char*> argv;
    for (const auto& arg : args) argv.push_back(arg.c_str());
    libvlc_instance_t* vlc = libvlc_new(static_cast<int>(argv.size()), argv.data());
    if (vlc == nullptr) return {};

    // Left to a closing that does not end (a module that keeps VLC from closing), with the player.
    auto* session = new Session;
    Session& s = *session;
    s.rate = options.rate;
    s.pictureBytes = options.width * options.height * 4;
    s.buffer.assign(static_cast<std::size_t>(s.pictureBytes), 0);
    libvlc_log_set(vlc, logLine, session);

    libvlc_media_t* media = libvlc_media_new_path(vlc, file.c_str());
    libvlc_media_player_t* player = libvlc_media_player_new_from_media(media);
    libvlc_media_release(media);
    libvlc_audio_set_callbacks(player, playSound, nullptr, nullptr, nullptr, drainSound, session);
    libvlc_audio_set_format(player, "FL32", static_cast<unsigned>(options.rate), 2);
    libvlc_video_set_callbacks(player, lockPicture, nullptr, showPicture, session);
    libvlc_video_set_format(player, "RV32", static_cast<unsigned>(options.width), static_cast<unsigned>(options.height),
                            static_cast<unsigned>(options.width * 4));
    libvlc_event_attach(libvlc_media_player_event_manager(player), libvlc_MediaPlayerEndReached, onEnd, session);
    libvlc_event_attach(libvlc_media_player_event_manager(player), libvlc_MediaPlayerEncounteredError, onEnd, session);
    libvlc_media_player_play(player);
    {
        std::unique_lock guard(s.lock);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        if (options.seekTo) {
            s.changed.wait_until(guard, deadline,
                                 [&] { return s.played.ended || static_cast<int>(s.played.pictures.size()) >= options.seekAfter; });
            if (!s.played.ended) {
                guard.unlock();
                libvlc_media_player_set_time(player, static_cast<libvlc_time_t>(*options.seekTo * 1000));
                guard.lock();
                s.seekDone = true;
            }
        }
        s.changed.wait_until(guard, deadline, [&] { return s.played.ended; });
    }
    // Stopping closes the module: timed, and not waited for beyond ten seconds.
    const auto closing = std::make_shared<std::promise<void>>();
    auto closed = closing->get_future();
    const auto stopFrom = std::chrono::steady_clock::now();
    std::thread([player, vlc, closing] {
        libvlc_media_player_stop(player);
        libvlc_media_player_release(player);
        libvlc_log_unset(vlc);
        libvlc_release(vlc);
        closing->set_value();
    }).detach();
    const bool done = closed.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - stopFrom).count();
    Played played;
    {
        std::lock_guard guard(s.lock);
        played = s.played;
    }
    played.closingSeconds = done ? seconds : -1;
    if (done) delete session;
    return played;
}

std::string helpText(const std::vector<std::string>& args) {
    // VLC prints its help on standard output and ends the process: a child's.
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return {};
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], 1);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        setenv("VLC_PLUGIN_PATH", LUMVLC_MODULE_FOLDER, 1);
        std::vector<const char*> argv;
        for (const auto& arg : args) argv.push_back(arg.c_str());
        libvlc_instance_t* vlc = libvlc_new(static_cast<int>(argv.size()), argv.data());
        if (vlc != nullptr) libvlc_release(vlc);
        std::fflush(stdout);
        _exit(0);
    }
    close(pipeEnds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(got));
    close(pipeEnds[0]);
    waitpid(child, nullptr, 0);
    return text;
}

std::vector<std::string> linesWith(const std::vector<std::string>& lines, const std::string& text) {
    std::vector<std::string> found;
    for (const auto& line : lines)
        if (line.find(text) != std::string::npos) found.push_back(line);
    return found;
}

}  // namespace vlctest
