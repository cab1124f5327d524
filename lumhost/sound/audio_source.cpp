#include "lumhost/sound/audio_source.h"

#include <cstdio>

namespace lumhost {

void reportSoundWarnings(const AudioSource& source) {
    for (const auto& line : source.warnings()) std::fprintf(stderr, "lumhost: warning: %s: %s\n", source.name().c_str(), line.c_str());
}

}  // namespace lumhost
