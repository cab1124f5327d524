/* A minimal third-party host, built against the installed header alone
 * (pkg-config lum-plugin, or find_package(LumPlugin)): it loads the
 * installed module, checks its information record, draws a few frames into
 * a canvas and checks that the figure appears.
 * Usage: installed_host MODULE */
#include <lum/lum_plugin.h>

#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#define WIDTH 64
#define HEIGHT 48

static void* entry(void* module, const char* name) {
    void* symbol = dlsym(module, name);
    if (symbol == NULL) fprintf(stderr, "installed_host: no entry point %s\n", name);
    return symbol;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: installed_host MODULE\n");
        return 2;
    }
    void* module = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (module == NULL) {
        fprintf(stderr, "installed_host: %s\n", dlerror());
        return 1;
    }
    int32_t (*init)(LumPluginInfo*) = (int32_t(*)(LumPluginInfo*))entry(module, "lumInit");
    int32_t (*start)(void) = (int32_t(*)(void))entry(module, "lumStart");
    int32_t (*end)(void) = (int32_t(*)(void))entry(module, "lumEnd");
    int32_t (*display)(LumWindow, const void*, uint32_t) =
        (int32_t(*)(LumWindow, const void*, uint32_t))entry(module, "lumDisplaySoundData");
    if (init == NULL || start == NULL || end == NULL || display == NULL) return 1;

    /* The record with room for the extra text the host may choose to allow. */
    union {
        LumPluginInfo info;
        char bytes[sizeof(LumPluginInfo) + 256];
    } record;
    memset(&record, 0, sizeof record);
    if (init(&record.info) != 1 || strcmp(record.info.shortName, "Gyrotrailscope") != 0) {
        fprintf(stderr, "installed_host: lumInit gave the name '%.20s'\n", record.info.shortName);
        return 1;
    }

    static uint32_t pixels[WIDTH * HEIGHT];
    LumCanvas canvas = {WIDTH, HEIGHT, WIDTH * 4, pixels};
    signed char block[300];
    start();
    for (int frame = 0; frame < 8; ++frame) {
        /* Small sums keep the figure near the centre of the small canvas. */
        for (int i = 0; i < (int)sizeof block; ++i) block[i] = (signed char)((i + frame) % 3 - 1);
        if (display(&canvas, block, sizeof block) != 1) return 1;
    }
    end();
    int lit = 0;
    for (int i = 0; i < WIDTH * HEIGHT; ++i) lit += pixels[i] != 0;
    dlclose(module);
    if (lit == 0) {
        fprintf(stderr, "installed_host: the plug-in drew nothing\n");
        return 1;
    }
    printf("installed_host: %s %s drew %d of %d pixels\n", record.info.shortName, record.info.version, lit,
           WIDTH * HEIGHT);
    return 0;
}
