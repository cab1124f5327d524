// The sound track on its own, each frame it gives fed to its encoder: made
// as long as the video (padded with silence or cut), the resampler's tail
// kept, and the rate an encoder is opened at.
#include <gtest/gtest.h>

#include <cmath>

#include "lumhost/pictures/encode/sound_track.h"

namespace lumhost {
namespace {

VideoSettings settingsFor(const char* encoder, AVSampleFormat format, int rate = 0) {
    VideoSettings settings;
    settings.audioEncoder = encoder;
    settings.sampleFormat = format;
    settings.sampleRate = rate;
    return settings;
}

// What the track gave its encoder, every frame also sent to the encoder,
// which must take it; the samples of the first channel when they are packed
// 16-bit.
struct Received {
    explicit Received(AVCodecContext* to) : encoder(to) {}

    AVCodecContext* encoder;
    std::vector<int16_t> samples;
    std::vector<int> frameSizes;
    int64_t nextPts = 0;
    bool ended = false;

    SoundTrack::Send sender() {
        return [this](const AVFrame* frame) {
            ASSERT_FALSE(ended) << "a frame after the end";
            ASSERT_EQ(avcodec_send_frame(encoder, frame), 0) << "the encoder refused a frame";
            PacketPtr packet(av_packet_alloc());
            while (avcodec_receive_packet(encoder, packet.get()) == 0) av_packet_unref(packet.get());
            if (frame == nullptr) {
                ended = true;
                return;
            }
            EXPECT_EQ(frame->pts, nextPts);
            nextPts += frame->nb_samples;
            frameSizes.push_back(frame->nb_samples);
            if (frame->format == AV_SAMPLE_FMT_S16) {
                const auto* data = reinterpret_cast<const int16_t*>(frame->data[0]);
                const int channels = frame->ch_layout.nb_channels;
                for (int i = 0; i < frame->nb_samples; ++i) samples.push_back(data[i * channels]);
            }
        };
    }
};

// `frames` video frames at 25 fps of a steady level, one frame's sound at a time.
void feed(SoundTrack& track, Received& received, int rate, int channels, int frames, float level) {
    std::vector<float> sound(static_cast<std::size_t>(rate / 25 * channels), level);
    for (int frame = 0; frame < frames; ++frame) track.take(sound, received.sender());
}

TEST(SoundTrack, ShortSoundIsPaddedWithSilenceToTheVideosLength) {
    SoundTrack track(SoundFormat{44100, 2}, settingsFor("flac", AV_SAMPLE_FMT_S16), false);
    Received received(track.codec());
    feed(track, received, 44100, 2, 3, 0.5f);
    track.finish(5, 25, received.sender());
    EXPECT_TRUE(received.ended);
    ASSERT_EQ(received.samples.size(), 5u * 1764u);
    EXPECT_EQ(track.samplesSent(), 5 * 1764);
    for (std::size_t i = 0; i < received.samples.size(); ++i) {
        ASSERT_EQ(received.samples[i], i < 3 * 1764 ? 16384 : 0) << "sample " << i;
    }
}

// Sound still held past the video's end (the sinks' rounding) is not sent.
TEST(SoundTrack, SoundPastTheVideosEndIsCut) {
    SoundTrack track(SoundFormat{44100, 1}, settingsFor("flac", AV_SAMPLE_FMT_S16), false);
    ASSERT_GT(track.codec()->frame_size, 2 * 1764) << "the sound of two video frames is held whole";
    Received received(track.codec());
    feed(track, received, 44100, 1, 2, 0.5f);
    track.finish(1, 25, received.sender());
    EXPECT_EQ(received.samples, std::vector<int16_t>(1764, 16384));
    EXPECT_EQ(track.samplesSent(), 1764);
}

// MP2 takes only whole frames of 1152: the short last one is filled up with
// silence, but the track counts only what it holds.
TEST(SoundTrack, AnEncoderWithoutShortFramesGetsItsLastFrameFilledUp) {
    SoundTrack track(SoundFormat{48000, 2}, settingsFor("mp2", AV_SAMPLE_FMT_S16), false);
    ASSERT_FALSE(track.codec()->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME);
    Received received(track.codec());
    feed(track, received, 48000, 2, 2, 0.25f);
    track.finish(2, 25, received.sender());
    EXPECT_TRUE(received.ended);
    EXPECT_EQ(track.samplesSent(), 2 * 1920);
    EXPECT_EQ(received.frameSizes, (std::vector<int>{1152, 1152, 1152, 1152}));
    ASSERT_EQ(received.samples.size(), 4u * 1152u);
    EXPECT_EQ(received.samples[2 * 1920 - 1], 8192);
    EXPECT_EQ(received.samples[2 * 1920], 0);
}

// 44.1 kHz to 48: what the resampler holds back is sound, not the padding.
TEST(SoundTrack, ResampledSoundKeepsItsTail) {
    SoundTrack track(SoundFormat{44100, 1}, settingsFor("flac", AV_SAMPLE_FMT_S16, 48000), false);
    EXPECT_EQ(track.codec()->sample_rate, 48000);
    Received received(track.codec());
    feed(track, received, 44100, 1, 25, 0.5f);
    track.finish(25, 25, received.sender());
    ASSERT_EQ(received.samples.size(), 48000u);
    for (std::size_t i = 47000; i < 47990; ++i) ASSERT_NEAR(received.samples[i], 16384, 400) << "sample " << i;
}

// MP2 runs at 16 to 48 kHz.
TEST(SoundTrack, TheSoundsRateIfTheEncoderTakesItElseTheNearest) {
    const auto mp2 = settingsFor("mp2", AV_SAMPLE_FMT_S16);
    EXPECT_EQ(SoundTrack(SoundFormat{22050, 1}, mp2, false).codec()->sample_rate, 22050);
    EXPECT_EQ(SoundTrack(SoundFormat{8000, 1}, mp2, false).codec()->sample_rate, 16000) << "the lowest above";
    EXPECT_EQ(SoundTrack(SoundFormat{26000, 1}, mp2, false).codec()->sample_rate, 32000) << "the lowest above";
    EXPECT_EQ(SoundTrack(SoundFormat{96000, 1}, mp2, false).codec()->sample_rate, 48000) << "the highest";
    EXPECT_EQ(SoundTrack(SoundFormat{8000, 1}, settingsFor("mp2", AV_SAMPLE_FMT_S16, 44100), false).codec()->sample_rate, 44100)
        << "the settings' rate first";
}

}  // namespace
}  // namespace lumhost
