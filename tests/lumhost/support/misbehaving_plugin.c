/* A plug-in with all seven entry points whose lumInit never returns well:
 * built with CRASH_IN_INIT it dies of SIGSEGV, otherwise it hangs. */
#include <signal.h>
#include <stdint.h>
#include <unistd.h>

#define EXPORT __attribute__((visibility("default")))

EXPORT int32_t lumInit(void* info) {
#ifdef CRASH_IN_INIT
    raise(SIGSEGV);
#else
    for (;;) pause();
#endif
    return info != 0;
}
EXPORT int32_t lumStart(void) { return 1; }
EXPORT int32_t lumEnd(void) { return 1; }
EXPORT void* lumGetBitmap(void) { return 0; }
EXPORT int32_t lumGetParamInfo(uint32_t id, void* record) { return id == 0 && record == 0; }
EXPORT int32_t lumSetParamInfo(uint32_t id, void* record) { return id == 0 && record == 0; }
EXPORT int32_t lumDisplaySoundData(void* window, const void* data, uint32_t length) {
    return window == 0 && data == 0 && length == 0;
}
