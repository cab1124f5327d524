#include "lumhost/pictures/encode/video_settings.h"

#include <algorithm>
#include <array>

#include "lumhost/base/host_error.h"

namespace lumhost {
namespace {

constexpr std::array<const char*, 10> x264Presets = {"ultrafast", "superfast", "veryfast", "faster", "fast",
                                                     "medium",    "slow",      "slower",   "veryslow", "placebo"};
constexpr std::array<const char*, 3> vp9Deadlines = {"realtime", "good", "best"};

template <std::size_t N>
std::string choices(const std::array<const char*, N>& names) {
    std::string text;
    for (const char* name : names) text += (text.empty() ? "" : ", ") + std::string(name);
    return text;
}

template <std::size_t N>
bool among(const std::array<const char*, N>& names, const std::string& name) {
    return std::find_if(names.begin(), names.end(), [&](const char* n) { return name == n; }) != names.end();
}

void checkCrf(const EncoderSettings& settings, int highest, const char* codec) {
    if (settings.crf && (*settings.crf < 0 || *settings.crf > highest))
        throw HostError("--crf: " + std::to_string(*settings.crf) + " is out of range for " + codec + " (0-" +
                        std::to_string(highest) + ")");
}

}  // namespace

VideoKind videoKindFor(const std::string& extension) {
    if (extension == ".mp4") return VideoKind::Mp4;
    if (extension == ".mkv") return VideoKind::Mkv;
    if (extension == ".webm") return VideoKind::Webm;
    if (extension == ".gif") return VideoKind::Gif;
    throw HostError("unknown video type '" + extension + "'");
}

VideoSettings resolveVideoSettings(VideoKind kind, const EncoderSettings& settings) {
    if (settings.audioBitrate && *settings.audioBitrate < 1)
        throw HostError("--audio-bitrate: " + std::to_string(*settings.audioBitrate) + " is not a bit rate");
    VideoSettings out;
    switch (kind) {
    case VideoKind::Mp4:
    case VideoKind::Mkv: {
        const std::string preset = settings.preset.value_or("veryfast");
        if (!among(x264Presets, preset))
            throw HostError("--preset: unknown H.264 preset '" + preset + "' (" + choices(x264Presets) + ")");
        checkCrf(settings, 51, "H.264");
        out.videoEncoder = "libx264";
        out.videoOptions = {{"preset", preset}, {"crf", std::to_string(settings.crf.value_or(20))}};
        if (kind == VideoKind::Mp4) {
            out.audioEncoder = "aac";
            out.sampleFormat = AV_SAMPLE_FMT_FLTP;
            out.audioBitRate = settings.audioBitrate.value_or(192000);
        } else {
            out.audioEncoder = "flac";  // lossless: no bit rate
            out.sampleFormat = AV_SAMPLE_FMT_S16;
        }
        break;
    }
    case VideoKind::Webm: {
        const std::string deadline = settings.preset.value_or("realtime");
        if (!among(vp9Deadlines, deadline))
            throw HostError("--preset: unknown VP9 deadline '" + deadline + "' (" + choices(vp9Deadlines) + ")");
        checkCrf(settings, 63, "VP9");
        out.videoEncoder = "libvpx-vp9";
        out.videoOptions = {{"deadline", deadline}, {"row-mt", "1"}};
        if (deadline == "realtime") out.videoOptions.emplace_back("cpu-used", "8");
        if (settings.crf) out.videoOptions.emplace_back("crf", std::to_string(*settings.crf));  // constant quality
        else out.bitRate = 4000000;
        out.audioEncoder = "libopus";
        out.sampleFormat = AV_SAMPLE_FMT_FLT;
        out.sampleRate = 48000;
        out.audioBitRate = settings.audioBitrate.value_or(160000);
        break;
    }
    case VideoKind::Gif:
        if (settings.crf) throw HostError("--crf: GIF has no quality setting");
        if (settings.preset) throw HostError("--preset: GIF has no presets");
        out.videoEncoder = "gif";
        break;
    }
    return out;
}

}  // namespace lumhost
