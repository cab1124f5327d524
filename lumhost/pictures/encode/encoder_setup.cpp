#include "lumhost/pictures/encode/encoder_setup.h"

#include "lumhost/base/host_error.h"
#include "lumhost/media/media_log.h"

namespace lumhost {

FramePtr newFrame() {
    FramePtr frame(av_frame_alloc());
    if (!frame) throw HostError("out of memory for a video frame");
    return frame;
}

const AVCodec* findEncoder(const char* name) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (codec == nullptr) throw HostError(std::string("libavcodec has no ") + name + " encoder");
    return codec;
}

void setOption(AVDictionary** options, const char* key, const std::string& value) {
    av_dict_set(options, key, value.c_str(), 0);
}

void openEncoder(AVCodecContext* context, const AVCodec* codec, AVDictionary* options, const char* what) {
    const int result = avcodec_open2(context, codec, &options);
    // What is left in the dictionary is what the encoder did not take.
    const AVDictionaryEntry* left = av_dict_get(options, "", nullptr, AV_DICT_IGNORE_SUFFIX);
    const std::string unknown = left != nullptr ? left->key : "";
    av_dict_free(&options);
    if (result < 0) throw HostError(std::string("the ") + what + " encoder refuses its settings: " + mediaFailure(result));
    if (!unknown.empty()) throw HostError(std::string("the ") + what + " encoder has no option " + unknown);
}

}  // namespace lumhost
