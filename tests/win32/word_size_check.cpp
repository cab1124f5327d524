// Built for the build machine, not for Windows: tells run-under-wine.sh
// whether this machine runs programs of a word size at all, with the same
// answer lumhost gives itself before it starts a 32-bit bridge.
//
//   word-size-check 32|64   exit 0 where they run; else the reason on stdout, exit 1
#include <cstdio>
#include <cstring>

#include "loading/bridge/word_size.h"

int main(int argc, char** argv) {
    if (argc != 2 || (std::strcmp(argv[1], "32") != 0 && std::strcmp(argv[1], "64") != 0)) {
        std::fprintf(stderr, "usage: %s 32|64\n", argv[0]);
        return 2;
    }
    if (std::strcmp(argv[1], "32") == 0)
        if (const auto why = lumhost::whyNoThirtyTwoBitPrograms()) {
            std::printf("%s\n", why->c_str());
            return 1;
        }
    return 0;
}
