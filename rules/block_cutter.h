// The block rule: sound cut into one block per video frame, each sample made
// into the signed 8-bit byte the plug-in reads.
//
// Frame f takes the sample frames from frameStart(f) up to frameStart(f + 1),
// frameStart(f) = floor(f x rate / fps), so the fraction of a sample left
// over by each frame is carried into the next and the frames never drift from
// the sound. At the end of the sound the last block takes what is left and may
// be short. A seek starts a new run: frame 0 again, from the new position.
//
// A sample x (in -1..1) becomes the byte lrint(x x 128) clipped to -128..127:
// rounded to the nearest whole number, halves to the even one (0.5 x 128 = 64
// exactly, but 1/256 x 128 = 0.5 gives 0 and 3/256 x 128 = 1.5 gives 2).
// NaN gives 0.
//
// The plug-in sums the first third of a block into its vertical axis and the
// remaining two thirds into its horizontal axis. The planar layout (the
// default) lays out the N sample frames of one video frame as
//     N left samples | N right samples | N zero bytes
// so the vertical axis follows the left channel, the horizontal axis the right
// channel, each with the same weight, and stereo differences move the figure
// off its diagonal. A mono sound feeds both. The interleaved layout passes the
// (mixed) channels as they come, L R L R ..., so the axes follow the early
// third and the later two thirds of the frame's time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "rules/samples.h"

namespace lumrules {

enum class BlockLayout { planar, interleaved };

int8_t toSigned8(float sample);

// First sample frame of video frame `frame` at `fps` frames per second.
int64_t frameStart(int64_t frame, int sampleRate, int fps);

// The same at a rate of `fpsNumerator`/`fpsDenominator` frames per second
// (30000/1001 and the like); an integer rate gives what the one above gives.
int64_t frameStart(int64_t frame, int sampleRate, int fpsNumerator, int fpsDenominator);

// Whether every block at this frame rate holds sound: a frame rate above the
// sample rate would give blocks without a single sample frame (at 1000 fps
// over 100 Hz sound, nine blocks in ten). Every front end refuses such a rate.
bool frameRateFits(int sampleRate, int fpsNumerator, int fpsDenominator = 1);

// The one line a front end gives for a rate that does not fit, naming both
// rates; the front end puts its own option's name before it.
std::string frameRateTooHigh(int sampleRate, int fpsNumerator, int fpsDenominator = 1);

// Video frames needed to show `sampleFrames` of sound (the last may be short).
int64_t framesFor(int64_t sampleFrames, int sampleRate, int fps);

// Builds the block for `count` interleaved sample frames of one or two
// channels (other sound is mixed down first: see mixDown).
void makeSoundBlock(const float* interleaved, std::size_t count, int channels, BlockLayout layout, std::vector<int8_t>& block);

// One run of blocks, from a lumStart to the next: sound pushed in pieces of
// any size and format, blocks cut as soon as their sound is all in.
class BlockCutter {
public:
    BlockCutter() = default;
    BlockCutter(int sampleRate, int channels, int fpsNumerator, int fpsDenominator = 1,
                BlockLayout layout = BlockLayout::planar) {
        reset(sampleRate, channels, fpsNumerator, fpsDenominator, layout);
    }

    // A new run (a seek, a new stream): frame 0, nothing held. `channels` is
    // what will be pushed, in their usual order; more than two are mixed down
    // to stereo.
    void reset(int sampleRate, int channels, int fpsNumerator, int fpsDenominator = 1,
               BlockLayout layout = BlockLayout::planar);
    // The same for sound whose channels stand at `positions`, one a channel,
    // as a host orders them (mixed down unless they are mono or front left
    // and right).
    void reset(int sampleRate, std::vector<ChannelPosition> positions, int fpsNumerator, int fpsDenominator = 1,
               BlockLayout layout = BlockLayout::planar);
    // The same sound and rates again from frame 0, nothing held.
    void restart();

    // Sound in: interleaved floats, any other format interleaved or one plane per channel.
    void push(const float* interleaved, std::size_t frames);
    void push(const void* interleaved, std::size_t frames, SampleFormat format);
    void pushPlanar(const void* const* planes, std::size_t frames, SampleFormat format);

    // Sample frames the next block takes, and how many are held.
    std::size_t wanted() const;
    std::size_t available() const;

    // Cuts the next block if its sound is all in, or, at the end of the sound,
    // whatever is left (a short last block); false if there is nothing to cut.
    bool cut(std::vector<int8_t>& block, bool atEnd = false);

    // Drops the next block's sound without a block (a host that fell behind).
    bool skip();

    // The mixed sound of the block cut last (one or two channels a frame, as
    // blockChannels says), valid until the next push or cut.
    const float* lastSamples() const { return samples_.data() + lastStart_ * static_cast<std::size_t>(mixed_); }
    std::size_t lastCount() const { return lastCount_; }
    int blockChannels() const { return mixed_; }

    // The frame the next block belongs to, and the sample frame a frame starts at.
    int64_t frame() const { return frame_; }
    int64_t frameStartSample(int64_t frame) const;
    int sampleRate() const { return rate_; }
    int channels() const { return channels_; }
    const std::vector<ChannelPosition>& positions() const { return positions_; }

private:
    bool take(std::size_t count);
    void pushConverted(const std::function<void(std::vector<float>&)>& convert);
    void compact();

    int rate_ = 1;
    int channels_ = 1;
    int mixed_ = 1;
    std::vector<ChannelPosition> positions_{ChannelPosition::mono};
    bool unmixed_ = true;  // passed on as pushed
    int fpsNumerator_ = 1;
    int fpsDenominator_ = 1;
    BlockLayout layout_ = BlockLayout::planar;
    int64_t frame_ = 0;
    std::size_t taken_ = 0;  // sample frames at the front of samples_ already cut
    std::size_t lastStart_ = 0, lastCount_ = 0;
    std::vector<float> samples_;  // mixed, interleaved
    std::vector<float> wide_;     // pushed sound wider than stereo, before the mix
};

}  // namespace lumrules
