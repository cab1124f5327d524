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

}  // namespace lumgst
