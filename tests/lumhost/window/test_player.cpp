// lumhost play as a player: fullscreen, pause and seeking, playlists, the
// on-screen display, presets from the window, and --delay. Under a virtual
// X server driven by xdotool, with SDL's dummy or disk sound driver.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "host_runner.h"
#include "png_pixels.h"
#include "sound_files.h"

namespace hosttest {
namespace {

const std::string windowEnvironment = "SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=0 ";

// Runs `script` (lumhost started as $LUMHOST, its window as $id once
// started) on a 400x300 virtual screen; the script's exit status.
int runInWindow(const Scratch& scratch, const std::string& start, const std::string& keys) {
    const std::string script = start + " 2>play.err &\npid=$!\nid=$(xdotool search --sync --name '^lumhost')\n" + keys + "\nwait $pid\n";
    std::ofstream(scratch.path("keys.sh")) << script;
    return runShell(scratch, "timeout 60 xvfb-run -a -s '-screen 0 400x300x24' sh keys.sh");
}

std::string lumhost() { return quoted(LUMHOST_PATH); }

// "0:03.25" as seconds.
double secondsOf(const std::string& clock) {
    const auto colon = clock.find(':');
    return std::stod(clock.substr(0, colon)) * 60 + std::stod(clock.substr(colon + 1));
}

// The clocks of the lines "lumhost: WHAT M:SS.ss" in `err`, in order, in
// seconds. (Read by hand: GCC 12's sanitizer builds warn inside <regex>.)
std::vector<double> clockTimes(const std::string& err, const std::string& what) {
    std::vector<double> times;
    const std::string head = "lumhost: " + what + " ";
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);) {
        const auto at = line.find(head);
        if (at == std::string::npos) continue;
        const auto from = at + head.size();
        const auto clock = line.substr(from, line.find_first_not_of("0123456789:.", from) - from);
        if (clock.empty() || std::isdigit(static_cast<unsigned char>(clock[0])) == 0 || clock.find(':') == std::string::npos) continue;
        times.push_back(secondsOf(clock));
    }
    return times;
}

// The last clock of each of "paused at", "playing from" and "at".
std::map<std::string, double> clockLines(const std::string& err) {
    std::map<std::string, double> found;
    for (const char* what : {"paused at", "playing from", "at"})
        if (const auto times = clockTimes(err, what); !times.empty()) found[what] = times.back();
    return found;
}

bool isOverlayText(uint32_t p) {
    const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    return r > 150 && g > 150 && b < r - 30 && b > 40;  // the display's pale yellow, not the figure's green
}

long overlayPixels(const Picture& picture) {
    long count = 0;
    for (uint32_t p : picture.pixels) count += isOverlayText(p) ? 1 : 0;
    return count;
}

TEST(Player, FullscreenCoversTheScreenAndGoesBack) {
    Scratch scratch;
    writeTone(scratch.path("in.wav"), 48000, 2, 10);
    const auto geometry = [](const char* file) {
        return std::string("xdotool getwindowgeometry --shell $id | grep -E 'WIDTH|HEIGHT' | tr '\\n' ' ' >") + file + "\n";
    };
    ASSERT_EQ(runInWindow(scratch, windowEnvironment + lumhost() + " play in.wav --size 320x240",
                          "sleep 0.5\n" + geometry("windowed") + "xdotool key --window $id f\nsleep 0.5\n" + geometry("full") +
                              "xdotool key --window $id f\nsleep 0.5\n" + geometry("back") +
                              "xdotool mousemove --window $id 40 40 click --repeat 2 --delay 80 1\nsleep 0.5\n" +
                              geometry("clicked") + "xdotool key --window $id Escape\nsleep 0.5\n" + geometry("escaped") +
                              "xdotool key --window $id q\n"),
              0)
        << readFile(scratch.path("play.err"));
    EXPECT_EQ(readFile(scratch.path("windowed")), "WIDTH=320 HEIGHT=240 ");
    EXPECT_EQ(readFile(scratch.path("full")), "WIDTH=400 HEIGHT=300 ") << "f: the screen's size";
    EXPECT_EQ(readFile(scratch.path("back")), "WIDTH=320 HEIGHT=240 ") << "f again: the window as it was";
    EXPECT_EQ(readFile(scratch.path("clicked")), "WIDTH=400 HEIGHT=300 ") << "a double click";
    EXPECT_EQ(readFile(scratch.path("escaped")), "WIDTH=320 HEIGHT=240 ") << "Esc leaves fullscreen and does not quit";
    EXPECT_EQ(readFile(scratch.path("play.err")), "");

    // --fullscreen starts there.
    ASSERT_EQ(runInWindow(scratch, windowEnvironment + lumhost() + " play in.wav --size 320x240 --fullscreen",
                          "sleep 0.5\n" + geometry("started") + "xdotool key --window $id q\n"),
              0);
    EXPECT_EQ(readFile(scratch.path("started")), "WIDTH=400 HEIGHT=300 ");
}

TEST(Player, PauseHoldsTheFigureAndThePositionAndSeekingMovesIt) {
    Scratch scratch;
    // A figure that changes every frame, so anything drawn while paused shows.
    writeSound(scratch.path("in.wav"), 48000, 2, 12 * 48000, [](long i, int c) { return std::sin(i * (c ? 0.0011 : 0.0007)) * 0.5f; });
    ASSERT_EQ(runInWindow(scratch, windowEnvironment + lumhost() + " play in.wav --size 320x240 --set zoom-factor=50",
                          "sleep 1\nxdotool key --window $id space\nsleep 0.3\nimport -window $id held1.png\nsleep 1\n"
                          "import -window $id held2.png\nxdotool key --window $id space\nsleep 0.5\n"
                          "xdotool key --window $id Right\nsleep 0.3\nxdotool key --window $id Left Left\nsleep 0.3\n"
                          "xdotool key --window $id q\n"),
              0)
        << readFile(scratch.path("play.err"));
    const auto err = readFile(scratch.path("play.err"));
    const auto clock = clockLines(err);
    ASSERT_EQ(clock.count("paused at"), 1u) << err;
    ASSERT_EQ(clock.count("playing from"), 1u) << err;
    EXPECT_GT(clock.at("paused at"), 0.5);
    EXPECT_NEAR(clock.at("playing from"), clock.at("paused at"), 0.05) << "the sound stood still while paused";
    // Right: 5 s on from about half a second after resuming; then Left twice: 10 s back, to the start.
    const auto seeks = clockTimes(err, "at");
    ASSERT_EQ(seeks.size(), 3u) << err;
    EXPECT_GT(seeks[0], clock.at("playing from") + 5.2);
    EXPECT_LT(seeks[0], clock.at("playing from") + 6.2);
    EXPECT_GT(seeks[1], seeks[0] - 5.1);
    EXPECT_LT(seeks[1], seeks[0] - 4.5);
    EXPECT_EQ(seeks[2], 0.0) << "seeking back stops at the start";

    const auto held1 = readPng(scratch.path("held1.png")), held2 = readPng(scratch.path("held2.png"));
    ASSERT_EQ(held1.width, 320);
    EXPECT_GT(held1.litPixels(), 100);
    EXPECT_TRUE(held1.pixels == held2.pixels) << "nothing is drawn while paused";
}

TEST(Player, APlaylistPlaysItsGoodFilesInOrderAndSkipsABrokenOne) {
    Scratch scratch;
    std::filesystem::create_directories(scratch.path("songs"));
    writeTone(scratch.path("songs/one.wav"), 48000, 2, 1.5);
    std::ofstream(scratch.path("songs/two.wav")) << "RIFF, but nothing after it";
    writeTone(scratch.path("songs/three.wav"), 44100, 1, 1.5);
    std::ofstream(scratch.path("list.m3u8")) << "#EXTM3U\n#EXTINF:2,One\nsongs/one.wav\nsongs/two.wav\r\n\nsongs/three.wav\n";
    // The titles the window shows while it plays, sampled every 0.1 s.
    const std::string watch = "while kill -0 $pid 2>/dev/null; do xdotool getwindowname $id >>titles 2>/dev/null; sleep 0.1; done\n";
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(runInWindow(scratch, windowEnvironment + lumhost() + " play list.m3u8 --size 160x120", watch), 0)
        << readFile(scratch.path("play.err"));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::vector<std::string> titles;
    std::istringstream lines(readFile(scratch.path("titles")));
    for (std::string line; std::getline(lines, line);)
        if (titles.empty() || titles.back() != line) titles.push_back(line);
    EXPECT_EQ(titles, (std::vector<std::string>{"lumhost - one.wav", "lumhost - three.wav"}));
    const auto err = readFile(scratch.path("play.err"));
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(err.rfind("lumhost: cannot open audio songs/two.wav: ", 0), 0u) << err;
    EXPECT_GT(seconds, 2.8) << "both good files play in full";
    EXPECT_LT(seconds, 15.0);

    // A folder plays its sound files in name order, here the same two, and
    // Enter (as >) goes on to the next long before the first would end.
    titles.clear();
    std::filesystem::remove(scratch.path("titles"));
    std::filesystem::remove(scratch.path("songs/two.wav"));
    writeTone(scratch.path("songs/one.wav"), 48000, 2, 8);
    const auto skipping = std::chrono::steady_clock::now();
    ASSERT_EQ(runInWindow(scratch, windowEnvironment + lumhost() + " play songs --size 160x120",
                          "sleep 0.5\nxdotool getwindowname $id >titles\nxdotool key --window $id Return\nsleep 0.5\n" + watch),
              0)
        << readFile(scratch.path("play.err"));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - skipping).count(), 6.5);
    std::istringstream again(readFile(scratch.path("titles")));
    for (std::string line; std::getline(again, line);)
        if (titles.empty() || titles.back() != line) titles.push_back(line);
    EXPECT_EQ(titles, (std::vector<std::string>{"lumhost - one.wav", "lumhost - three.wav"}));
}

TEST(Player, TheDisplayIsInTheWindowOnlyNeverInARender) {
    Scratch scratch;
    writeTone(scratch.path("in.wav"), 48000, 2, 10);
    const std::string settings = " --size 320x240 --set color=#00ff00 --set zoom-factor=1";
    ASSERT_EQ(runInWindow(scratch, windowEnvironment + lumhost() + " play in.wav" + settings,
                          "sleep 0.5\nimport -window $id plain.png\nxdotool key --window $id h\nsleep 0.3\n"
                          "import -window $id help.png\nxdotool key --window $id h\nsleep 0.3\nimport -window $id gone.png\n"
                          "xdotool key --window $id a\nsleep 0.2\nimport -window $id changed.png\nsleep 2.5\n"
                          "import -window $id faded.png\nxdotool key --window $id q\n"),
              0)
        << readFile(scratch.path("play.err"));
    EXPECT_EQ(overlayPixels(readPng(scratch.path("plain.png"))), 0);
    EXPECT_GT(overlayPixels(readPng(scratch.path("help.png"))), 500) << "h: the keys over the picture";
    EXPECT_EQ(overlayPixels(readPng(scratch.path("gone.png"))), 0) << "h again: gone";
    EXPECT_GT(overlayPixels(readPng(scratch.path("changed.png"))), 50) << "a changed setting is shown";
    EXPECT_EQ(overlayPixels(readPng(scratch.path("faded.png"))), 0) << "for a short while";
    EXPECT_EQ(readFile(scratch.path("play.err")), "lumhost: Zoom factor: 2\n");

    // The same settings rendered: every frame has the figure and no display.
    const auto render = runLumhost(scratch, {"render", "in.wav", "--duration", "1", "--size", "320x240", "--set", "color=#00ff00",
                                             "--set", "zoom-factor=2", "-q", "-o", "-"});
    ASSERT_EQ(rawFrames(render, 320, 240), 60);
    long text = 0;
    for (std::size_t i = 0; i + 3 < render.out.size(); i += 4) {
        const auto* bgr = reinterpret_cast<const unsigned char*>(render.out.data() + i);
        text += isOverlayText((uint32_t{bgr[2]} << 16) | (uint32_t{bgr[1]} << 8) | bgr[0]) ? 1 : 0;
    }
    EXPECT_EQ(text, 0);
}

TEST(Player, PresetsFromTheWindowKeepSettingsOnABadOne) {
    Scratch scratch;
    writeTone(scratch.path("in.wav"), 48000, 2, 10);
    const std::string config = scratch.path("config"), folder = config + "/lumhost/presets/gyrotrail/";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "aaa.preset") << "Line width=7\nZoom factor=200%\n";
    std::ofstream(folder + "good.preset") << "Zoom factor=20\nColor=#102030\n";
    ASSERT_EQ(runInWindow(scratch, "XDG_CONFIG_HOME=" + quoted(config) + " " + windowEnvironment + lumhost() + " play in.wav --size 160x120",
                          "sleep 0.5\nxdotool key --delay 150 --window $id a w n w n w u w\nsleep 0.3\nxdotool key --window $id q\n"),
              0)
        << readFile(scratch.path("play.err"));
    const auto err = readFile(scratch.path("play.err"));
    EXPECT_NE(err.find("lumhost: " + folder + "aaa.preset:2: Zoom factor: bad parameter value '200%'"), std::string::npos) << err;
    const auto first = readFile(folder + "saved-1.preset");
    EXPECT_NE(first.find("Zoom factor=91\n"), std::string::npos) << first;
    EXPECT_EQ(readFile(folder + "saved-2.preset"), first) << "the bad preset changed nothing, not even its good first line";
    const auto loaded = readFile(folder + "saved-3.preset");
    EXPECT_NE(loaded.find("Zoom factor=20\n"), std::string::npos) << loaded;
    EXPECT_NE(loaded.find("Color=#102030\n"), std::string::npos) << loaded;
    // Random settings stay within what the plug-in accepts.
    std::istringstream random(readFile(folder + "saved-4.preset"));
    int checked = 0;
    for (std::string line; std::getline(random, line);) {
        const auto equals = line.find('=');
        const auto name = line.substr(0, equals), value = line.substr(equals + 1);
        const std::map<std::string, std::pair<int, int>> ranges{
            {"Line width", {1, 50}}, {"Line length", {2, 30}}, {"Rotation speed", {0, 99}}, {"Zoom factor", {1, 99}}};
        if (!ranges.count(name)) continue;
        EXPECT_GE(std::stoi(value), ranges.at(name).first) << line;
        EXPECT_LE(std::stoi(value), ranges.at(name).second) << line;
        ++checked;
    }
    EXPECT_EQ(checked, 4);
}

TEST(Player, MuteSilencesAtOnceAndVolumeScalesTheSound) {
    Scratch scratch;
    writeTone(scratch.path("in.wav"), 48000, 2, 8);
    // SDL's disk driver writes what it plays, 32-bit floats, two channels, at the pace it plays.
    ASSERT_EQ(runInWindow(scratch,
                          "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=played.raw ASAN_OPTIONS=detect_leaks=0 " + lumhost() +
                              " play in.wav --size 160x120",
                          "sleep 1.5\nxdotool key --window $id m\nsleep 1\nxdotool key --window $id m\n"
                          "xdotool key --delay 50 --window $id 9 9 9 9 9\nsleep 1.5\nxdotool key --window $id q\n"),
              0)
        << readFile(scratch.path("play.err"));
    // SDL itself warns that the disk driver is in use; lumhost's own lines follow.
    const auto err = readFile(scratch.path("play.err"));
    EXPECT_EQ(err.substr(std::min(err.find("lumhost:"), err.size())),
              "lumhost: muted\nlumhost: volume 100%\nlumhost: volume 90%\nlumhost: volume 80%\nlumhost: volume 70%\n"
              "lumhost: volume 60%\nlumhost: volume 50%\n");
    const auto played = readFile(scratch.path("played.raw"));
    const auto* samples = reinterpret_cast<const float*>(played.data());
    const std::size_t count = played.size() / sizeof(float);
    // The loudest sample of each tenth of a second (4800 sample values).
    std::vector<float> peaks;
    for (std::size_t at = 0; at + 9600 <= count; at += 9600) {
        float peak = 0;
        for (std::size_t i = at; i < at + 9600; ++i) peak = std::max(peak, std::abs(samples[i]));
        peaks.push_back(peak);
    }
    ASSERT_GT(peaks.size(), 30u);
    EXPECT_NEAR(peaks[5], 0.5, 0.01) << "the tone as it is";
    int silent = 0;
    for (float peak : peaks) silent += peak == 0 ? 1 : 0;
    EXPECT_GE(silent, 7) << "about a second of silence: the queued half second was muted too";
    EXPECT_LE(silent, 13);
    EXPECT_NEAR(peaks.back(), 0.25, 0.01) << "half the volume at the end";
}

TEST(Player, PresetsComeInTurnOnATimer) {
    Scratch scratch;
    writeTone(scratch.path("in.wav"), 48000, 2, 10);
    const std::string config = scratch.path("config"), folder = config + "/lumhost/presets/gyrotrail/";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "first.preset") << "Line width=3\n";
    std::ofstream(folder + "second.preset") << "Line width=30\n";
    ASSERT_EQ(runInWindow(scratch,
                          "XDG_CONFIG_HOME=" + quoted(config) + " " + windowEnvironment + lumhost() +
                              " play in.wav --size 160x120 --cycle-presets 1",
                          "sleep 3.5\nxdotool key --window $id q\n"),
              0)
        << readFile(scratch.path("play.err"));
    EXPECT_EQ(readFile(scratch.path("play.err")), "lumhost: preset first\nlumhost: preset second\nlumhost: preset first\n");
    EXPECT_EQ(runLumhost(scratch, {"play", "--cycle-presets", "0.1"}).status, 1) << "too fast to see";
}

// The right channel steps up by one byte every half second, the left is
// silent, rotation is off and the trail two points long: the figure is a dot
// whose distance from the centre tells which block is on screen.
class Delay : public ::testing::TestWithParam<int> {};

TEST_P(Delay, ChangesWhichBlockIsShownAtAnAudioPosition) {
    const int delayMs = GetParam();
    Scratch scratch;
    const auto step = [](double seconds) { return 1 + static_cast<int>(std::floor(seconds / 0.5)); };
    writeSound(scratch.path("in.wav"), 48000, 2, 8 * 48000, [&](long i, int c) { return c == 0 ? 0.0f : step(i / 48000.0) / 128.0f; });
    ASSERT_EQ(runInWindow(scratch,
                          "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null ASAN_OPTIONS=detect_leaks=0 " + lumhost() +
                              " play in.wav --size 320x240 --delay " + std::to_string(delayMs) +
                              " --set rotation-speed=0 --set zoom-factor=1 --set line-length=2 --set line-width=5 --set color=#00ff00",
                          "sleep 3\nxdotool key --window $id space\nsleep 0.3\nimport -window $id shown.png\nxdotool key --window $id q\n"),
              0)
        << readFile(scratch.path("play.err"));
    const auto clock = clockLines(readFile(scratch.path("play.err")));
    ASSERT_EQ(clock.count("paused at"), 1u) << readFile(scratch.path("play.err"));
    const double heard = clock.at("paused at");
    const auto shot = readPng(scratch.path("shown.png"));
    ASSERT_EQ(shot.width, 320);
    // The dot's centre along the middle row; a block of 800 samples of byte s gives 800 s / 99 pixels.
    long sum = 0, count = 0;
    for (int x = 0; x < shot.width; ++x)
        if (((shot.at(x, 120) >> 8) & 0xFF) > 128) sum += x, ++count;
    ASSERT_GT(count, 0);
    const double offset = static_cast<double>(sum) / count - 160;
    int shown = 1;
    for (int s = 1; s <= 16; ++s)
        if (std::abs(800 * s / 99 - offset) < std::abs(800 * shown / 99 - offset)) shown = s;
    EXPECT_NEAR(shown, step(heard - delayMs / 1000.0), 1) << "heard at " << heard << " s, the dot " << offset << " px out";
    EXPECT_GE(std::abs(shown - step(heard)), delayMs == 0 ? 0 : 2) << "not the block of the sound heard";
}

INSTANTIATE_TEST_SUITE_P(Milliseconds, Delay, ::testing::Values(0, 1500, -1000));

}  // namespace
}  // namespace hosttest

namespace hosttest {
namespace {

// Live sound from a pipe at the pace ffmpeg plays it: --delay holds each
// block that long after its sound arrived, as the report at the end measures.
TEST(LiveDelay, HoldsEachBlockThatLongAfterItsSoundArrived) {
    Scratch scratch;
    const auto medianFor = [&](int delayMs) {
        const std::string start = "ffmpeg -nostdin -loglevel error -re -f lavfi -i sine=frequency=220:duration=8 -ac 2 -f s16le - | " +
                                  windowEnvironment + lumhost() + " play --input - --size 160x120 --delay " + std::to_string(delayMs);
        EXPECT_EQ(runInWindow(scratch, start, "sleep 3\nkill -INT $pid\n"), 0) << readFile(scratch.path("play.err"));
        const auto err = readFile(scratch.path("play.err"));
        const auto at = err.find("blocks shown a median ");
        if (at == std::string::npos) {
            ADD_FAILURE() << err;
            return -1.0;
        }
        return std::stod(err.substr(at + 22));
    };
    const double plain = medianFor(0), held = medianFor(300);
    EXPECT_LT(plain, 100);
    EXPECT_GE(held, 300);
    EXPECT_LT(held, 400);
    // And never before it: a negative delay is refused for live sound.
    const auto refused = runLumhost(scratch, {"play", "--input", "-", "--delay", "-50"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.errLines(), std::vector<std::string>{"lumhost: --delay: live sound cannot be shown before it arrives; give 0 or more"});
}

}  // namespace
}  // namespace hosttest
