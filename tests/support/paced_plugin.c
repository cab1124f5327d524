/* A plug-in for testing hosts against slow and hanging plug-ins. It draws no
 * figure: each frame writes what the host can check into the first pixels
 * of the canvas, and may first sleep or hang as its settings say.
 *   pixel 0: frames drawn since lumStart (1 for the first)
 *   pixel 1: the sum of the block's bytes, as signed 8-bit values
 *   pixel 2: the block's length
 *   pixel 3: runs started (lumStart calls since load)
 *   pixels 4 and 5: the two settings
 * Settings: "Sleep" (id 10), milliseconds a frame, 0 to 10000; "Hang at"
 * (id 11), the frame of a run at which it never returns, 0 for never. */
#include <stdint.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "lum_plugin.h"

#define EXPORT __attribute__((visibility("default")))

static int32_t sleepMs;
static int32_t hangAt;
static uint32_t frames;
static uint32_t runs;

static void copyText(char* field, const char* text) { memcpy(field, text, strlen(text) + 1); }

EXPORT int32_t lumInit(LumPluginInfo* info) {
    if (info == 0) return 0;
    info->infoCodeA = 99;
    copyText(info->version, "1.0");
    info->infoCodeB = 2;
    copyText(info->shortName, "Paced");
    copyText(info->longName, "Paced test plug-in");
    copyText(info->vendor, "gyrotrail tests");
    copyText(info->copyright, "");
    copyText(info->url, "");
    copyText(info->extraInfo, "");
    sleepMs = 0;
    hangAt = 0;
    return 1;
}
EXPORT int32_t lumStart(void) {
    frames = 0;
    ++runs;
    return 1;
}
EXPORT int32_t lumEnd(void) { return 1; }
EXPORT LumBitmap lumGetBitmap(void) { return 0; }

EXPORT int32_t lumGetParamInfo(uint32_t id, LumParamInfo* record) {
    if (record == 0 || (id != 10 && id != 11)) return 0;
    record->type = PARAMTYPE_INTEGER;
    copyText(record->name, id == 10 ? "Sleep" : "Hang at");
    record->value = id == 10 ? sleepMs : hangAt;
    copyText(record->description, id == 10 ? "Milliseconds a frame (0-10000)." : "Frame that hangs (0-1000000).");
    return 1;
}

static int32_t clampTo(int32_t value, int32_t low, int32_t high) { return value < low ? low : value > high ? high : value; }

EXPORT int32_t lumSetParamInfo(uint32_t id, LumParamInfo* record) {
    if (record == 0 || (id != 10 && id != 11)) return 0;
    record->value = clampTo(record->value, 0, id == 10 ? 10000 : 1000000);
    if (id == 10) sleepMs = record->value;
    else hangAt = record->value;
    return 1;
}

EXPORT int32_t lumDisplaySoundData(LumWindow window, const void* data, uint32_t length) {
    ++frames;
    if (hangAt > 0 && frames >= (uint32_t)hangAt)
        for (;;) pause();
    if (sleepMs > 0) {
        struct timespec wait = {sleepMs / 1000, (long)(sleepMs % 1000) * 1000000L};
        while (nanosleep(&wait, &wait) != 0) {
        }
    }
    LumCanvas* canvas = (LumCanvas*)window;
    if (canvas == 0 || canvas->pixels == 0 || canvas->width * canvas->height < 4) return 1;
    int32_t sum = 0;
    for (uint32_t i = 0; i < length; ++i) sum += ((const int8_t*)data)[i];
    canvas->pixels[0] = frames;
    canvas->pixels[1] = (uint32_t)sum;
    canvas->pixels[2] = length;
    canvas->pixels[3] = runs;
    if (canvas->width * canvas->height >= 6) {
        canvas->pixels[4] = (uint32_t)sleepMs;
        canvas->pixels[5] = (uint32_t)hangAt;
    }
    return 1;
}
