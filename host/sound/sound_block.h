// Slicing sound into one block per video frame and converting it to the
// signed 8-bit bytes the plug-in reads.
//
// Each sample, whatever its width in the file, is scaled to 8 bits:
// round(x * 128) clipped to -128..127, where x is the sample in -1..1
// (8-bit files come through unchanged).
//
// The plug-in sums the first third of a block into its vertical axis and the
// remaining two thirds into its horizontal axis. The planar layout (the
// default) lays out the N sample frames of one video frame as
//     N left samples | N right samples | N zero bytes
// so the vertical axis follows the left channel, the horizontal axis the right
// channel, each with the same weight, and stereo differences move the figure
// off its diagonal. A mono file feeds both; channels after the second are left out.
// The interleaved layout passes every channel as read, L R L R ..., so the
// axes follow the early third and the later two thirds of the frame's time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumhost {

enum class BlockLayout { planar, interleaved };

int8_t toSigned8(float sample);

// First sample frame of video frame `frame` at `fps` frames per second.
int64_t frameStart(int64_t frame, int sampleRate, int fps);

// The same at a rate of `fpsNumerator`/`fpsDenominator` frames per second
// (30000/1001 and the like); an integer rate gives what the one above gives.
int64_t frameStart(int64_t frame, int sampleRate, int fpsNumerator, int fpsDenominator);

// Video frames needed to show `sampleFrames` of sound (the last may be short).
int64_t framesFor(int64_t sampleFrames, int sampleRate, int fps);

// Builds the block for `count` interleaved sample frames of `channels` channels.
void makeSoundBlock(const float* interleaved, std::size_t count, int channels, BlockLayout layout,
                    std::vector<int8_t>& block);

}  // namespace lumhost
