#include "host/sound/media_errors.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

namespace lumhost {

std::string mediaErrorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

void quietMediaLibraries() { av_log_set_level(AV_LOG_QUIET); }

}  // namespace lumhost
