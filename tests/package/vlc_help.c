/* What VLC prints for its arguments (-p lum --advanced: the module lum and
 * its options), through libvlc: VLC's own programs refuse to run as root. */
/* libvlc's header uses POSIX's ssize_t. */
#define _POSIX_C_SOURCE 200809L
#include <vlc/vlc.h>

int main(int argc, char** argv) {
    libvlc_instance_t* vlc = libvlc_new(argc - 1, (const char* const*)(argv + 1));
    if (vlc != NULL) libvlc_release(vlc);
    return 0;
}
