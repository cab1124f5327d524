// The source live, judged by what OBS's output shows: the paced test plug-in
// writes the frame's counters into its first pixels, and the source sits at
// the top-left of OBS's canvas at 1:1, so each frame OBS renders says which
// frame of the plug-in it shows, whether its block had sound, and how far
// into the sound it was. Sound comes from a Media Source playing a file (on
// the file's own timeline, near 0), from a source of the tests' own stamping
// the same way, and from one stamping on OBS's system clock.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <obs-module.h>
#include <util/platform.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "live/live_run.h"
#include "obs_support.h"
#include "rules/presets.h"
#include "sound_files.h"

namespace {

using Clock = std::chrono::steady_clock;
using Shown = obstest::CornerWatch::Shown;

constexpr int fps = 30;
constexpr int width = 64, height = 48;
constexpr uint32_t blockLength = 3 * 48000 / fps;  // left, right and zeros

class ObsLive : public ::testing::Test {
protected:
    void TearDown() override { obstest::stopObs(); }

    // OBS at 30 fps on a canvas the source fills, with only the paced plug-in on the search path.
    obstest::Start start(std::vector<std::string> obsModules = {}) {
        const auto folder = scratch.dir() / "plugins";
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(PACED_PLUGIN_PATH, folder / "paced.lum", std::filesystem::copy_options::overwrite_existing);
        obstest::Start start;
        start.width = width;
        start.height = height;
        start.fps = fps;
        start.environment = {"LUM_PATH=" + folder.string()};
        start.obsModules = std::move(obsModules);
        return start;
    }
    hosttest::Scratch scratch;
};

obs_data_t* following(const std::string& audio, int sleepMs = 0, int hangAt = 0) {
    obs_data_t* settings = obs_data_create();
    obs_data_set_string(settings, "audio_source", audio.c_str());
    obs_data_set_int(settings, "width", width);
    obs_data_set_int(settings, "height", height);
    obs_data_set_int(settings, "sleep", sleepMs);
    obs_data_set_int(settings, "hang_at", hangAt);
    return settings;
}

obs_source_t* pacedSource(const std::string& audio, int sleepMs = 0, int hangAt = 0) {
    obs_data_t* settings = following(audio, sleepMs, hangAt);
    obs_source_t* source = obstest::makeLumSource("lum_paced", "figure", settings);
    obs_data_release(settings);
    return source;
}

void setAudioSource(obs_source_t* lum, const std::string& name) {
    obs_data_t* settings = obs_source_get_settings(lum);
    obs_data_set_string(settings, "audio_source", name.c_str());
    obs_source_update(lum, settings);
    obs_data_release(settings);
}

// Sound of one level on both channels rising from `low` to `high` (sample
// levels, of 128) over its length, so a block's mean level says where in
// the sound it was.
constexpr double low = 16, high = 96;
float rampSample(long frame, long frames) { return static_cast<float>((low + (high - low) * static_cast<double>(frame) / static_cast<double>(frames)) / 128.0); }

std::vector<float> ramp(long frames) {
    std::vector<float> samples;
    for (long frame = 0; frame < frames; ++frame) samples.insert(samples.end(), 2, rampSample(frame, frames));
    return samples;
}

bool heard(const Shown& shown) { return shown.length == blockLength && shown.level() >= low - 1 && shown.level() <= high + 1; }
bool silent(const Shown& shown) { return shown.frame > 0 && shown.sum == 0; }

// Plays sound through a source of the tests' own as a source plays it: in
// real time, in pieces of 1024 frames, stamped from `base` on (0 as a Media
// Source stamps a file, or OBS's system clock). Looping starts the sound
// again stamped from `base`, as a file played again is.
class Player {
public:
    Player(obs_source_t* source, std::vector<float> samples, std::function<uint64_t()> base, bool loop = false)
        : source_(source), samples_(std::move(samples)), base_(std::move(base)), loop_(loop), thread_([this] { play(); }) {}
    ~Player() { stop(); }
    void stop() {
        stopping_ = true;
        if (thread_.joinable()) thread_.join();
    }
    // When the sound started (its last start, looping), on the steady clock.
    Clock::time_point started() { return Clock::time_point(Clock::duration(started_.load())); }

private:
    void play() {
        const long frames = static_cast<long>(samples_.size() / 2);
        do {
            const uint64_t stamp = base_();
            const auto begin = Clock::now();
            started_ = begin.time_since_epoch().count();
            for (long at = 0; at < frames && !stopping_; at += 1024) {
                std::this_thread::sleep_until(begin + std::chrono::microseconds(at * 1000000LL / 48000));
                obstest::sendSound(source_, samples_, at, std::min(at + 1024, frames), stamp + static_cast<uint64_t>(at * 1000000000LL / 48000));
            }
        } while (loop_ && !stopping_);
    }
    obs_source_t* source_;
    std::vector<float> samples_;
    std::function<uint64_t()> base_;
    bool loop_;
    std::atomic<bool> stopping_{false};
    std::atomic<Clock::rep> started_{0};
    std::thread thread_;
};

uint64_t fileTimeline() { return 0; }

// The first timestamp a source hands its sound with, against the system clock then.
struct FirstStamp {
    std::atomic<uint64_t> stamp{0}, clock{0};
    static void caught(void* self, obs_source_t*, const audio_data* audio, bool) {
        auto& first = *static_cast<FirstStamp*>(self);
        uint64_t none = 0;
        if (first.stamp.compare_exchange_strong(none, audio->timestamp)) first.clock = os_gettime_ns();
    }
};

long count(const std::vector<Shown>& shown, bool (*what)(const Shown&)) { return std::count_if(shown.begin(), shown.end(), what); }

// Waits up to `seconds` until OBS shows a frame of which `what` holds.
bool waitToShow(obstest::CornerWatch& watch, bool (*what)(const Shown&), double seconds) {
    const auto until = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < until)
        for (const auto& shown : watch.next(1, 1))
            if (what(shown)) return true;
    return false;
}

// The sound has stopped: OBS goes on showing the figure on silence, a new
// frame about every frame period, and the plug-in draws no more than that
// (a figure catching up with another clock would jump by thousands).
void expectSilenceAtTheFrameRate(obstest::CornerWatch& watch) {
    ASSERT_TRUE(waitToShow(watch, silent, 2)) << "silence shown after the sound stopped";
    const auto shown = watch.next(45, 5);  // 1.5 s
    ASSERT_GE(shown.size(), 45u);
    uint32_t jump = 0, distinct = 0;
    for (std::size_t i = 1; i < shown.size(); ++i) {
        if (shown[i].runs == shown[i - 1].runs && shown[i].frame > shown[i - 1].frame) jump = std::max(jump, shown[i].frame - shown[i - 1].frame);
        distinct += shown[i].frame != shown[i - 1].frame ? 1 : 0;
    }
    EXPECT_LE(jump, 6u) << "frames drawn between two frames OBS shows";
    EXPECT_GE(distinct, 25u) << "the picture moves on silence (of 44 frames OBS showed)";
    EXPECT_EQ(count(shown, heard), 0) << "nothing but silence after the sound stopped";
}

// The sound comes back: OBS shows it within a second, and on.
void expectSoundShown(obstest::CornerWatch& watch, const char* what) {
    ASSERT_TRUE(waitToShow(watch, heard, 2)) << what;
    const auto shown = watch.next(15, 3);
    EXPECT_GE(count(shown, heard), 10) << what << ": of " << shown.size() << " frames shown";
}

// A file played to its end, played again and looped, as a Media Source
// plays it; `play(loop)` starts it from the beginning, `ended()` waits for its end.
void endRestartAndLoop(obstest::CornerWatch& watch, const std::function<void(bool)>& play, const std::function<void()>& ended) {
    play(false);
    expectSoundShown(watch, "the file's sound");
    ended();
    {
        SCOPED_TRACE("the file ended");
        expectSilenceAtTheFrameRate(watch);
    }
    play(false);
    expectSoundShown(watch, "the file restarted");
    ended();
    play(true);
    // Two seconds of a file looping: the sound shows all along, but for the
    // moment it starts again.
    const auto shown = watch.next(60, 5);
    ASSERT_GE(shown.size(), 60u);
    EXPECT_GE(count(shown, heard), 45) << "the looping file's sound shown";
    EXPECT_LE(count(shown, silent), 8) << "silence shown while the file loops";
}

// Where in a file of `seconds` the block shown was.
double positionIn(const Shown& shown, double seconds) { return (shown.level() - low) / (high - low) * seconds; }

// A Media Source (OBS's own, in obs-ffmpeg) playing a two-second WAV: paused
// and played on, a seek, its end, a restart and looping, with the figure
// shown at OBS's output all along.
TEST_F(ObsLive, MediaSourcePausedSeekedEndedRestartedAndLooped) {
    START_OBS_OR_SKIP(scratch, start({"obs-ffmpeg"}));
    const auto wav = scratch.path("ramp.wav");
    hosttest::writeSound(wav, 48000, 2, 2 * 48000, [](long frame, int) { return rampSample(frame, 2 * 48000); });
    obs_data_t* settings = obs_data_create();
    obs_data_set_bool(settings, "is_local_file", true);
    obs_data_set_string(settings, "local_file", wav.c_str());
    obs_data_set_bool(settings, "looping", false);
    obs_data_set_bool(settings, "restart_on_activate", false);
    obs_source_t* media = obs_source_create("ffmpeg_source", "media", settings, nullptr);
    obs_data_release(settings);
    ASSERT_NE(media, nullptr);
    obs_source_t* lum = pacedSource("media");
    obs_scene_t* scene = obstest::showScene({media, lum});
    FirstStamp first;
    obs_source_add_audio_capture_callback(media, FirstStamp::caught, &first);
    {
        obstest::CornerWatch watch;
        auto play = [&](bool loop) {
            obs_data_t* looping = obs_source_get_settings(media);
            obs_data_set_bool(looping, "looping", loop);
            obs_source_update(media, looping);
            obs_data_release(looping);
            obs_source_media_restart(media);
        };
        auto ended = [&] {
            const auto until = Clock::now() + std::chrono::seconds(5);
            while (obs_source_media_get_state(media) != OBS_MEDIA_STATE_ENDED && Clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            ASSERT_EQ(obs_source_media_get_state(media), OBS_MEDIA_STATE_ENDED);
        };
        play(false);
        expectSoundShown(watch, "the file's sound");
        obs_source_media_play_pause(media, true);
        {
            SCOPED_TRACE("paused");
            expectSilenceAtTheFrameRate(watch);
        }
        obs_source_media_play_pause(media, false);
        expectSoundShown(watch, "played on after a pause");
        ASSERT_TRUE(waitToShow(watch, [](const Shown& s) { return heard(s) && positionIn(s, 2) > 1.0; }, 2));
        obs_source_media_set_time(media, 100);
        EXPECT_TRUE(waitToShow(watch, [](const Shown& s) { return heard(s) && positionIn(s, 2) < 0.5; }, 2)) << "the sound after a seek back to 0.1 s";
        endRestartAndLoop(watch, play, ended);
    }
    obs_source_remove_audio_capture_callback(media, FirstStamp::caught, &first);
    // What makes the file's end a case of its own: its sound is not stamped on the system clock.
    std::printf("the Media Source stamped its first sound %.3f s, the system clock read %.3f s\n", static_cast<double>(first.stamp) / 1e9,
                static_cast<double>(first.clock) / 1e9);
    obs_scene_release(scene);
    obs_source_release(lum);
    obs_source_release(media);
}

// The same with a source of the tests' own stamping as a Media Source does
// (the file's timeline from 0), where OBS's Media Source cannot be loaded.
TEST_F(ObsLive, SoundOnAFilesTimelineEndsIsRestartedAndLoops) {
    START_OBS_OR_SKIP(scratch, start());
    obs_source_t* music = obstest::makeSoundSource("music");
    obs_source_t* lum = pacedSource("music");
    obs_scene_t* scene = obstest::showScene({lum});
    {
        obstest::CornerWatch watch;
        const auto samples = ramp(48000);
        std::unique_ptr<Player> player;
        auto play = [&](bool loop) {
            player.reset();
            player = std::make_unique<Player>(music, samples, fileTimeline, loop);
        };
        auto ended = [&] { player.reset(); };
        endRestartAndLoop(watch, play, ended);
    }
    obs_scene_release(scene);
    obs_source_release(lum);
    obs_source_release(music);
}

// The audio source switched to one that does not exist and back, and to
// another on another clock: OBS shows silence while there is none, then the
// sound of each source followed.
TEST_F(ObsLive, AudioSourceSwitchedToAMissingOneAndBack) {
    START_OBS_OR_SKIP(scratch, start());
    obs_source_t* file = obstest::makeSoundSource("file");
    obs_source_t* live = obstest::makeSoundSource("live");
    obs_source_t* lum = pacedSource("file");
    obs_scene_t* scene = obstest::showScene({lum});
    {
        obstest::CornerWatch watch;
        const auto samples = ramp(48000);
        Player fromFile(file, samples, fileTimeline, true);
        Player onClock(live, samples, os_gettime_ns, true);
        expectSoundShown(watch, "the file's sound");
        setAudioSource(lum, "missing");
        {
            SCOPED_TRACE("a missing source");
            expectSilenceAtTheFrameRate(watch);
        }
        setAudioSource(lum, "file");
        expectSoundShown(watch, "the file's sound again");
        const auto runs = watch.next(1).back().runs;
        setAudioSource(lum, "live");
        expectSoundShown(watch, "the sound on the system clock");
        EXPECT_GT(watch.next(1).back().runs, runs) << "a new run for a new source";
        setAudioSource(lum, "missing");
        expectSilenceAtTheFrameRate(watch);
        setAudioSource(lum, "live");
        expectSoundShown(watch, "the sound on the system clock again");
    }
    obs_scene_release(scene);
    obs_source_release(lum);
    obs_source_release(live);
    obs_source_release(file);
}

// A plug-in that takes 50 ms a frame at 30 fps: OBS shows the figure within a
// few frames of the sound as it plays, not further and further behind.
TEST_F(ObsLive, SlowPluginStaysNearItsSound) {
    START_OBS_OR_SKIP(scratch, start());
    obs_source_t* music = obstest::makeSoundSource("music");
    obs_source_t* lum = pacedSource("music", 50);
    obs_scene_t* scene = obstest::showScene({lum});
    {
        obstest::CornerWatch watch;
        const double seconds = 4;
        Player player(music, ramp(static_cast<long>(seconds * 48000)), os_gettime_ns);
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        const auto shown = watch.next(30, 5);  // the second after 2.5 s
        ASSERT_GE(shown.size(), 30u);
        double worst = 0;
        long drawn = 0, distinct = 0;
        for (std::size_t i = 0; i < shown.size(); ++i) {
            const auto& frame = shown[i];
            if (!heard(frame)) continue;
            ++drawn;
            distinct += i == 0 || frame.frame != shown[i - 1].frame ? 1 : 0;
            // Where the block's sound ends, against how much has been played by now.
            const double at = (frame.level() - low) / (high - low) * seconds + 1.0 / fps;
            const double played = std::chrono::duration<double>(frame.at - player.started()).count();
            worst = std::max(worst, played - at);
        }
        EXPECT_GE(drawn, 25) << "frames of the sound shown";
        std::printf("slow plug-in: OBS showed %ld frames of the sound, %ld different, at most %.0f ms behind it\n", drawn, distinct, worst * 1000);
        EXPECT_LT(worst, 0.3) << "seconds behind the sound";
        // It can draw 20 a second: at least half of those reach OBS's output.
        EXPECT_GE(distinct * static_cast<long>(shown.size()), 10L * 30) << "different frames shown";
    }
    obs_scene_release(scene);
    obs_source_release(lum);
    obs_source_release(music);
}

// How long a call takes, or nothing if it has not returned within `limit`
// (it is left running: the test then fails, and its process is ended with it).
std::optional<double> timed(std::function<void()> call, double limit) {
    auto done = std::make_shared<std::promise<void>>();
    auto returned = done->get_future();
    const auto begin = Clock::now();
    std::thread([call = std::move(call), done] {
        call();
        done->set_value();
    }).detach();
    if (returned.wait_for(std::chrono::duration<double>(limit)) != std::future_status::ready) return std::nullopt;
    return std::chrono::duration<double>(Clock::now() - begin).count();
}

// Removing a source whose plug-in is slow (3 s a frame) or hangs takes under
// a second, as OBS does it when a source is deleted or a scene collection
// changes; and OBS closes with a hung plug-in's source alive in its scene.
TEST_F(ObsLive, SlowOrHungPluginNeitherHoldsRemovalNorShutdown) {
    START_OBS_OR_SKIP(scratch, start());
    obs_source_t* music = obstest::makeSoundSource("music");
    Player player(music, ramp(10 * 48000), os_gettime_ns);
    for (const auto& [sleepMs, hangAt] : {std::pair{3000, 0}, std::pair{0, 3}}) {
        SCOPED_TRACE(hangAt != 0 ? "hung" : "slow");
        obs_source_t* lum = pacedSource("music", sleepMs, hangAt);
        obs_scene_t* scene = obstest::showScene({lum});
        {
            obstest::CornerWatch watch;
            ASSERT_TRUE(waitToShow(watch, heard, 5)) << "drawing before it is removed";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // inside the plug-in now
        obs_set_output_source(0, nullptr);
        obs_scene_release(scene);
        const auto took = timed(
            [lum] {
                obs_source_remove(lum);
                obs_source_release(lum);
                obs_wait_for_destroy_queue();
            },
            5);
        ASSERT_TRUE(took) << "removing the source did not return";
        std::printf("removing a %s plug-in's source took %.0f ms\n", hangAt != 0 ? "hung" : "slow", *took * 1000);
        EXPECT_LT(*took, 1.5);
    }
    obs_source_t* lum = pacedSource("music", 0, 3);
    obs_scene_release(obstest::showScene({lum}));
    {
        obstest::CornerWatch watch;
        ASSERT_TRUE(waitToShow(watch, heard, 5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    obs_source_release(lum);
    player.stop();
    obs_source_release(music);
    const auto closed = timed([] { obstest::stopObs(false); }, 10);
    ASSERT_TRUE(closed) << "OBS did not close with a hung plug-in's source in its scene";
    std::printf("OBS closed in %.0f ms with a hung plug-in's source alive\n", *closed * 1000);
}

// A plug-in that hangs is let go (black), loaded again after a back-off and
// draws again, and OBS shows it; then a setting that no longer hangs keeps it drawing.
TEST_F(ObsLive, HungPluginIsLoadedAgainAndDrawsAgain) {
    START_OBS_OR_SKIP(scratch, start());
    obs_source_t* music = obstest::makeSoundSource("music");
    Player player(music, ramp(48000), os_gettime_ns, true);
    obs_source_t* lum = pacedSource("music", 0, 10);
    obs_scene_t* scene = obstest::showScene({lum});
    {
        obstest::CornerWatch watch;
        ASSERT_TRUE(waitToShow(watch, heard, 5));
        // Stuck at frame 9 until the hang is seen; then nothing (black) until it is loaded again.
        ASSERT_TRUE(waitToShow(watch, [](const Shown& s) { return s.frame == 0 && s.length == 0; }, 10)) << "black once the plug-in hung";
        ASSERT_TRUE(waitToShow(watch, heard, 5)) << "drawing again after the back-off";
        obs_data_t* settings = obs_source_get_settings(lum);
        obs_data_set_int(settings, "hang_at", 0);
        obs_source_update(lum, settings);
        obs_data_release(settings);
        // Drawing on: it may hang once more before the setting reaches it.
        const auto until = Clock::now() + std::chrono::seconds(15);
        long frames = 0;
        while (Clock::now() < until && frames < 30)
            for (const auto& shown : watch.next(1, 1)) frames = shown.frame >= 12 && heard(shown) ? frames + 1 : 0;
        EXPECT_GE(frames, 30) << "past the frame that hung, without a break";
    }
    obs_set_output_source(0, nullptr);
    obs_scene_release(scene);
    obs_source_release(lum);
    player.stop();
    obs_source_release(music);
}

// The canvas is limited to what the plug-in can draw: the properties say the
// limit, settings past it are drawn at the limit, and a size within it after
// one past it draws.
TEST_F(ObsLive, SizesAreLimitedToWhatThePluginDraws) {
    START_OBS_OR_SKIP(scratch, start());
    const auto limit = lumlive::canvasLimitFor(PACED_PLUGIN_PATH);
    obs_properties_t* properties = obs_get_source_properties("lum_paced");
    for (const auto& [key, most] : {std::pair{"width", limit.width}, std::pair{"height", limit.height}}) {
        obs_property_t* property = obs_properties_get(properties, key);
        ASSERT_NE(property, nullptr);
        EXPECT_EQ(obs_property_int_max(property), most);
        const char* description = obs_property_long_description(property);
        ASSERT_NE(description, nullptr);
        EXPECT_NE(std::string(description).find(std::to_string(limit.width) + " x " + std::to_string(limit.height)), std::string::npos)
            << description;
    }
    obs_properties_destroy(properties);

    obs_source_t* music = obstest::makeSoundSource("music");
    Player player(music, ramp(48000), os_gettime_ns, true);
    obs_data_t* settings = following("music");
    obs_data_set_int(settings, "width", limit.width + 1000);
    obs_data_set_int(settings, "height", 2);
    obs_source_t* lum = obstest::makeLumSource("lum_paced", "figure", settings);
    obs_data_release(settings);
    {
        obstest::FrameCatcher catcher(lum);
        auto frames = catcher.waitFor(3, 5);
        ASSERT_FALSE(frames.empty());
        EXPECT_EQ(frames.back().width, limit.width) << "drawn at the limit";
        obs_scene_t* scene = obstest::showScene({lum});
        settings = obs_source_get_settings(lum);
        obs_data_set_int(settings, "width", width);
        obs_data_set_int(settings, "height", height);
        obs_source_update(lum, settings);
        obs_data_release(settings);
        obstest::CornerWatch watch;
        EXPECT_TRUE(waitToShow(watch, heard, 5)) << "a size within the limit draws";
        obs_set_output_source(0, nullptr);
        obs_scene_release(scene);
    }
    obs_source_release(lum);
    player.stop();
    obs_source_release(music);
}

// The process's address space, in bytes (VmSize).
rlim_t addressSpace() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmSize:", 0) == 0) return static_cast<rlim_t>(std::stoull(line.substr(7))) * 1024;
    return 0;
}

// A canvas that cannot be had (16384x16384 with transparency, 1 GiB each, in
// a process given half a GiB more than it has) shows nothing and leaves OBS
// running; a size that can be drawn afterwards draws again.
TEST_F(ObsLive, HugeCanvasShowsNothingAndALegalSizeDrawsAgain) {
    START_OBS_OR_SKIP(scratch, start());
    obs_source_t* music = obstest::makeSoundSource("music");
    Player player(music, ramp(48000), os_gettime_ns, true);
    obs_source_t* lum = pacedSource("music");
    obs_scene_t* scene = obstest::showScene({lum});
    {
        obstest::CornerWatch watch;
        ASSERT_TRUE(waitToShow(watch, heard, 5));
        rlimit before{};
        ASSERT_EQ(getrlimit(RLIMIT_AS, &before), 0);
        const rlim_t space = addressSpace();
        ASSERT_GT(space, 0u);
        rlimit tight = before;
        tight.rlim_cur = space + (512ull << 20);
        ASSERT_EQ(setrlimit(RLIMIT_AS, &tight), 0);
        auto resize = [&](int w, int h, bool transparent) {
            obs_data_t* settings = obs_source_get_settings(lum);
            obs_data_set_int(settings, "width", w);
            obs_data_set_int(settings, "height", h);
            obs_data_set_bool(settings, "transparent", transparent);
            obs_source_update(lum, settings);
            obs_data_release(settings);
        };
        resize(16384, 16384, true);
        const bool black = waitToShow(watch, [](const Shown& s) { return s.frame == 0 && s.length == 0; }, 5);
        setrlimit(RLIMIT_AS, &before);
        EXPECT_TRUE(black) << "nothing shown for a canvas that cannot be had";
        bool logged = false;
        for (const auto& line : obstest::logLines(LOG_WARNING)) logged |= line.find("16384x16384") != std::string::npos;
        EXPECT_TRUE(logged) << "one line in OBS's log";
        resize(width, height, false);
        EXPECT_TRUE(waitToShow(watch, heard, 5)) << "a legal size draws again";
    }
    obs_set_output_source(0, nullptr);
    obs_scene_release(scene);
    obs_source_release(lum);
    player.stop();
    obs_source_release(music);
}

// Choosing and saving a preset while the plug-in hangs in a draw: neither
// waits for it (they work on the settings kept beside the run), and the
// preset's values are in the settings and the saved file.
TEST_F(ObsLive, PresetsNeverWaitForThePlugin) {
    const auto folder = scratch.dir() / "config" / "lumhost" / "presets" / "paced";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "calm.preset") << "sleep=7\nhang at=0\n";
    START_OBS_OR_SKIP(scratch, start());
    obs_source_t* music = obstest::makeSoundSource("music");
    Player player(music, ramp(48000), os_gettime_ns, true);
    obs_source_t* lum = pacedSource("music", 0, 3);
    obs_scene_t* scene = obstest::showScene({lum});
    {
        obstest::CornerWatch watch;
        ASSERT_TRUE(waitToShow(watch, heard, 5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // hung in frame 3 now
    obs_properties_t* properties = obs_source_properties(lum);
    obs_property_t* presets = obs_properties_get(properties, "preset");
    std::string calm;
    for (size_t i = 0; i < obs_property_list_item_count(presets); ++i)
        if (std::string(obs_property_list_item_name(presets, i)) == "calm") calm = obs_property_list_item_string(presets, i);
    ASSERT_FALSE(calm.empty());
    obs_data_t* settings = obs_source_get_settings(lum);
    obs_data_set_string(settings, "preset", calm.c_str());
    const auto chosen = timed([&] { obs_property_modified(presets, settings); }, 3);
    ASSERT_TRUE(chosen) << "choosing a preset waited for the plug-in";
    EXPECT_EQ(obs_data_get_int(settings, "sleep"), 7);
    EXPECT_EQ(obs_data_get_int(settings, "hang_at"), 0);
    obs_data_set_string(settings, "preset_name", "mine");
    obs_source_update(lum, settings);
    obs_data_release(settings);
    const auto saved = timed([&] { obs_property_button_clicked(obs_properties_get(properties, "save_preset"), lum); }, 3);
    ASSERT_TRUE(saved) << "saving a preset waited for the plug-in";
    std::printf("with the plug-in hung: a preset chosen in %.1f ms, saved in %.1f ms\n", *chosen * 1000, *saved * 1000);
    int found = 0;
    for (const auto& line : lumrules::parsePreset(hosttest::readFile((folder / "mine.preset").string()), "mine.preset"))
        found += (line.name == "Sleep" && line.value == "7") || (line.name == "Hang at" && line.value == "0") ? 1 : 0;
    EXPECT_EQ(found, 2);
    obs_properties_destroy(properties);
    obs_set_output_source(0, nullptr);
    obs_scene_release(scene);
    obs_source_release(lum);
    player.stop();
    obs_source_release(music);
}

}  // namespace
