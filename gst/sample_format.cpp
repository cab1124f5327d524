#include "gst/sample_format.h"

namespace lumgst {

std::optional<lumrules::SampleFormat> sampleFormatOf(GstAudioFormat format) {
    switch (format) {
        case GST_AUDIO_FORMAT_U8: return lumrules::SampleFormat::u8;
        case GST_AUDIO_FORMAT_S8: return lumrules::SampleFormat::s8;
        case GST_AUDIO_FORMAT_S16LE: return lumrules::SampleFormat::s16;
        case GST_AUDIO_FORMAT_S24LE: return lumrules::SampleFormat::s24;
        case GST_AUDIO_FORMAT_S32LE: return lumrules::SampleFormat::s32;
        case GST_AUDIO_FORMAT_F32LE: return lumrules::SampleFormat::f32;
        case GST_AUDIO_FORMAT_F64LE: return lumrules::SampleFormat::f64;
        default: return std::nullopt;
    }
}

std::vector<lumrules::ChannelPosition> channelPositionsOf(const GstAudioInfo& audio) {
    const int channels = GST_AUDIO_INFO_CHANNELS(&audio);
    if (GST_AUDIO_INFO_IS_UNPOSITIONED(&audio)) return lumrules::usualPositions(channels);
    using enum lumrules::ChannelPosition;
    std::vector<lumrules::ChannelPosition> positions;
    for (int c = 0; c < channels; ++c) switch (GST_AUDIO_INFO_POSITION(&audio, c)) {
            case GST_AUDIO_CHANNEL_POSITION_MONO: positions.push_back(mono); break;
            case GST_AUDIO_CHANNEL_POSITION_FRONT_LEFT: positions.push_back(frontLeft); break;
            case GST_AUDIO_CHANNEL_POSITION_FRONT_RIGHT: positions.push_back(frontRight); break;
            case GST_AUDIO_CHANNEL_POSITION_FRONT_CENTER: positions.push_back(frontCentre); break;
            case GST_AUDIO_CHANNEL_POSITION_LFE1:
            case GST_AUDIO_CHANNEL_POSITION_LFE2: positions.push_back(lowFrequency); break;
            case GST_AUDIO_CHANNEL_POSITION_REAR_LEFT:
            case GST_AUDIO_CHANNEL_POSITION_SIDE_LEFT:
            case GST_AUDIO_CHANNEL_POSITION_SURROUND_LEFT: positions.push_back(surroundLeft); break;
            case GST_AUDIO_CHANNEL_POSITION_REAR_RIGHT:
            case GST_AUDIO_CHANNEL_POSITION_SIDE_RIGHT:
            case GST_AUDIO_CHANNEL_POSITION_SURROUND_RIGHT: positions.push_back(surroundRight); break;
            case GST_AUDIO_CHANNEL_POSITION_REAR_CENTER: positions.push_back(backCentre); break;
            default: positions.push_back(other); break;
        }
    return positions;
}

}  // namespace lumgst
