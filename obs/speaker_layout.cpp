#include "obs/speaker_layout.h"

namespace lumobs {

std::vector<lumrules::ChannelPosition> speakerPositions(speaker_layout speakers) {
    using enum lumrules::ChannelPosition;
    switch (speakers) {
        case SPEAKERS_MONO: return {mono};
        case SPEAKERS_UNKNOWN:
        case SPEAKERS_STEREO: return {frontLeft, frontRight};
        case SPEAKERS_2POINT1: return {frontLeft, frontRight, lowFrequency};
        case SPEAKERS_4POINT0: return {frontLeft, frontRight, frontCentre, backCentre};
        case SPEAKERS_4POINT1: return {frontLeft, frontRight, frontCentre, lowFrequency, backCentre};
        // OBS's rear pair of 5.1, and both pairs of 7.1, rear then side.
        case SPEAKERS_5POINT1: return {frontLeft, frontRight, frontCentre, lowFrequency, surroundLeft, surroundRight};
        case SPEAKERS_7POINT1:
            return {frontLeft, frontRight, frontCentre, lowFrequency, surroundLeft, surroundRight, surroundLeft, surroundRight};
    }
    // A layout of a later OBS: as many channels as it has, those of the usual order.
    return lumrules::usualPositions(static_cast<int>(get_audio_channels(speakers)));
}

}  // namespace lumobs
