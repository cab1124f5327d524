/*
 * gyrotrail.lum: the host interface of a sound-visualisation plug-in.
 *
 * A host loads the module, calls lumInit first, may read and change the
 * settings through lumGetParamInfo/lumSetParamInfo at any time, brackets each
 * run of frames with lumStart/lumEnd and calls lumDisplaySoundData once per
 * block of sound data. Calls must not overlap. Every record and buffer belongs
 * to the host; the plug-in keeps no pointer to any of them after a call.
 *
 * Usable from C and C++. Records are plain byte layouts with fixed offsets.
 */
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define LUM_CALL __cdecl
#define LUM_EXPORT
#elif defined(__GNUC__)
#define LUM_CALL
#define LUM_EXPORT __attribute__((visibility("default")))
#else
#define LUM_CALL
#define LUM_EXPORT
#endif

/* A window handle (HWND on Windows; a LumCanvas pointer elsewhere). */
typedef void* LumWindow;
/* A bitmap handle (HBITMAP on Windows). */
typedef void* LumBitmap;

#pragma pack(push, 1)

/* Filled by lumInit. Texts are NUL-terminated; bytes after a terminator are
 * left as the host put them. At least 253 bytes. */
typedef struct LumPluginInfo {
    int32_t headerWord;  /* host's own; never written by the plug-in */
    int32_t infoCodeA;   /* fixed code 99 */
    char version[20];    /* "1.0" */
    int32_t infoCodeB;   /* fixed code 2 */
    char shortName[20];  /* display name */
    char longName[50];   /* display name again */
    char vendor[50];     /* maker */
    char copyright[50];  /* one-line copyright notice */
    char url[50];        /* maker's home page */
    char extraInfo[1];   /* empty text; the host decides the true width */
} LumPluginInfo;

/* Exchanged by lumGetParamInfo/lumSetParamInfo. At least 150 bytes. */
typedef struct LumParamInfo {
    int32_t type;          /* PARAMTYPE_*; written by get */
    char name[52];         /* display name; written by get */
    int32_t value;         /* current value (get) or new value (set); set writes the clamped value back */
    uint8_t reserved[50];  /* the host's; never read or written by the plug-in */
    char description[40];  /* one-line help; written by get; the host decides the true width */
} LumParamInfo;

#pragma pack(pop)

/* Type codes of LumParamInfo.type. */
enum {
    PARAMTYPE_INTEGER = 1, /* a whole number; the description names its range */
    PARAMTYPE_TOGGLE = 3,  /* off when 0, on otherwise */
    PARAMTYPE_COLOR = 4    /* 0x00BBGGRR, red in the low byte */
};

/* Parameter ids. 1-3 are host values (set only); 10-15 are the settings. */
enum {
    PARAM_HOST_1 = 1,
    PARAM_HOST_2 = 2,
    PARAM_HOST_3 = 3,
    PARAM_COLOR = 10,          /* colour of the newest segment, any value */
    PARAM_LINE_WIDTH = 11,     /* pen width in pixels, 1-50 */
    PARAM_LINE_LENGTH = 12,    /* points in the trail, 2-30; a set restarts the trail */
    PARAM_ROTATION_SPEED = 13, /* 0-99; 0 stops rotation, larger turns slower */
    PARAM_FADE_OUT = 14,       /* toggle: fade older segments */
    PARAM_ZOOM_FACTOR = 15     /* 1-99; larger draws bigger */
};

#if !defined(_WIN32)
/* Off Windows a window is a canvas that the host owns: 32-bit pixels laid
 * out 0x00RRGGBB, rows top-down, `stride` bytes apart (a 32-bit top-down DIB).
 * Pass its address as the LumWindow. A null canvas, a non-positive size or a
 * null pixel pointer gives no drawing context, and nothing is drawn. */
typedef struct LumCanvas {
    int32_t width;    /* pixels, > 0 */
    int32_t height;   /* pixels, > 0 */
    int32_t stride;   /* bytes from one row to the next, >= 4 * width, multiple of 4 */
    uint32_t* pixels; /* width x height pixels, 0x00RRGGBB */
} LumCanvas;
#endif

/* Fills *info, then sets the six settings to their defaults. 1; 0 for a null info. */
LUM_EXPORT int32_t LUM_CALL lumInit(LumPluginInfo* info);
/* Starts a run: empties the trail and restarts the rotation. Always 1. */
LUM_EXPORT int32_t LUM_CALL lumStart(void);
/* Ends a run; changes nothing. Always 1. */
LUM_EXPORT int32_t LUM_CALL lumEnd(void);
/* The plug-in offers no bitmap: always null. */
LUM_EXPORT LumBitmap LUM_CALL lumGetBitmap(void);
/* Describes setting `id` (10-15) into *record. 1; 0 for any other id or a null record. */
LUM_EXPORT int32_t LUM_CALL lumGetParamInfo(uint32_t id, LumParamInfo* record);
/* Applies record->value to `id` (1-3, 10-15), clamping in place. 1; 0 for any other id or a null record. */
LUM_EXPORT int32_t LUM_CALL lumSetParamInfo(uint32_t id, LumParamInfo* record);
/* Draws one frame from `length` bytes of signed 8-bit sound data. 1; 0 for null data with a non-zero length. */
LUM_EXPORT int32_t LUM_CALL lumDisplaySoundData(LumWindow window, const void* data, uint32_t length);

#ifdef __cplusplus
} /* extern "C" */
#endif

/* Binary layout checks: a broken layout fails to compile on every build. */
#ifdef __cplusplus
#define LUM_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define LUM_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif
LUM_STATIC_ASSERT(offsetof(LumPluginInfo, headerWord) == 0, "headerWord at 0");
LUM_STATIC_ASSERT(offsetof(LumPluginInfo, infoCodeA) == 4, "infoCodeA at 4");
LUM_STATIC_ASSERT(offsetof(LumPluginInfo, version) == 8, "version at 8");
LUM_STATIC_ASSERT(offsetof(LumPluginInfo, infoCodeB) == 28, "infoCodeB at 28");
LUM_STATIC_ASSERT(offsetof(LumPluginInfo, shortName) == 32, "shortName at 32");
LUM_STATIC_ASSERT(offsetof(LumPluginInfo, longName) == 52, "longName at 52");
LUM_STATIC_ASSERT(offsetof(LumPluginInfo, vendor) == 102, "vendor at 102");
LUM_STATIC_ASSERT(offsetof(LumPluginInfo, copyright) == 152, "copyright at 152");
LUM_STATIC_ASSERT(offsetof(LumPluginInfo, url) == 202, "url at 202");
LUM_STATIC_ASSERT(offsetof(LumPluginInfo, extraInfo) == 252, "extraInfo at 252");
LUM_STATIC_ASSERT(sizeof(LumPluginInfo) == 253, "LumPluginInfo is at least 253 bytes");
LUM_STATIC_ASSERT(offsetof(LumParamInfo, type) == 0, "type at 0");
LUM_STATIC_ASSERT(offsetof(LumParamInfo, name) == 4, "name at 4");
LUM_STATIC_ASSERT(offsetof(LumParamInfo, value) == 56, "value at 56");
LUM_STATIC_ASSERT(offsetof(LumParamInfo, reserved) == 60, "reserved at 60");
LUM_STATIC_ASSERT(offsetof(LumParamInfo, description) == 110, "description at 110");
LUM_STATIC_ASSERT(sizeof(LumParamInfo) == 150, "LumParamInfo holds the longest description");
#undef LUM_STATIC_ASSERT
