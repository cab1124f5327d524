/* A Windows module with all seven entry points that goes wrong inside
 * lumDisplaySoundData at frame FAIL_AT_FRAME (counted from 1): built with
 * CRASH it writes through a null pointer, with HANG it never returns, with
 * EXIT it ends its process. Before that it paints each frame one colour,
 * so a test can see the frames before the failure arrive. */
#include <windows.h>

#include <stdint.h>
#include <string.h>

#include "lum_plugin.h"

#define EXPORT __declspec(dllexport)

static unsigned frames;

EXPORT int32_t LUM_CALL lumInit(LumPluginInfo* info) {
    if (info == NULL) return 0;
    info->infoCodeA = 99;
    strcpy(info->version, "0.1");
    info->infoCodeB = 2;
    strcpy(info->shortName, "Misbehaving");
    strcpy(info->longName, "Misbehaving test module");
    strcpy(info->vendor, "gyrotrail tests");
    return 1;
}
EXPORT int32_t LUM_CALL lumStart(void) { return 1; }
EXPORT int32_t LUM_CALL lumEnd(void) { return 1; }
EXPORT LumBitmap LUM_CALL lumGetBitmap(void) { return NULL; }
EXPORT int32_t LUM_CALL lumGetParamInfo(uint32_t id, LumParamInfo* record) { return id == 0 && record == NULL; }
EXPORT int32_t LUM_CALL lumSetParamInfo(uint32_t id, LumParamInfo* record) { return id == 0 && record == NULL; }
EXPORT int32_t LUM_CALL lumDisplaySoundData(LumWindow window, const void* data, uint32_t length) {
    if (++frames == FAIL_AT_FRAME) {
#if defined(CRASH)
        *(volatile int*)(uintptr_t)length = 1;
#elif defined(HANG)
        for (;;) Sleep(INFINITE);
#elif defined(EXIT)
        ExitProcess(7);
#endif
    }
    HDC dc = GetDC((HWND)window);
    RECT area;
    GetClientRect((HWND)window, &area);
    HBRUSH brush = CreateSolidBrush(RGB(frames & 0xFF, 0x40, 0x80));
    FillRect(dc, &area, brush);
    DeleteObject(brush);
    ReleaseDC((HWND)window, dc);
    return data != NULL || length == 0;
}
