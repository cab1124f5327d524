/* A plug-in that forgot lumEnd: six of the seven entry points. */
#include <stdint.h>

#define EXPORT __attribute__((visibility("default")))

EXPORT int32_t lumInit(void* info) { return info != 0; }
EXPORT int32_t lumStart(void) { return 1; }
EXPORT void* lumGetBitmap(void) { return 0; }
EXPORT int32_t lumGetParamInfo(uint32_t id, void* record) { return id == 0 && record == 0; }
EXPORT int32_t lumSetParamInfo(uint32_t id, void* record) { return id == 0 && record == 0; }
EXPORT int32_t lumDisplaySoundData(void* window, const void* data, uint32_t length) {
    return window == 0 && data == 0 && length == 0;
}
