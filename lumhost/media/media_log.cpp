#include "lumhost/media/media_log.h"

#include <alsa/asoundlib.h>

#include <cstdarg>
#include <mutex>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

namespace lumhost {
namespace {

std::mutex logMutex;
std::string lastMessage;

void keepMessage(void* context, int level, const char* format, va_list arguments) {
    if (level > AV_LOG_WARNING) return;
    char line[1024];
    int printPrefix = 0;
    av_log_format_line(context, level, format, arguments, line, sizeof line, &printPrefix);
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    if (text.empty()) return;
    std::lock_guard<std::mutex> lock(logMutex);
    lastMessage = text;
}

void ignoreAlsa(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

void quietSoundLibrary() {
    // One handler for the whole process: SDL loads the same libasound at run time.
    snd_lib_error_set_handler(ignoreAlsa);
}

void quietMediaLibraries() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(keepMessage); });
    std::lock_guard<std::mutex> lock(logMutex);
    lastMessage.clear();
}

std::string takeMediaMessage() {
    std::lock_guard<std::mutex> lock(logMutex);
    std::string text;
    text.swap(lastMessage);
    return text;
}

std::string mediaErrorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

std::string mediaFailure(int error) {
    auto said = takeMediaMessage();
    return said.empty() ? mediaErrorText(error) : said;
}

}  // namespace lumhost
