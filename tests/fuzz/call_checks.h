// What must hold after every entry point call, whatever came before it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "plugin/visualizer_state.h"

namespace gyrotrail::fuzz {

// Names the call under way, for the message of a failed check.
void setCallContext(int index, const char* entryPoint);
// Reports a broken rule with the call under way and stops the process, so
// that libFuzzer keeps the input and a replay fails.
[[noreturn]] void fail(const char* what);
inline void require(bool ok, const char* what) {
    if (!ok) fail(what);
}

// The state byte for byte, padding included.
struct StateImage {
    unsigned char bytes[sizeof(VisualizerState)];
    static StateImage of(const VisualizerState& state) {
        StateImage image;
        std::memcpy(image.bytes, &state, sizeof image.bytes);
        return image;
    }
    bool sameAs(const VisualizerState& state) const { return std::memcmp(bytes, &state, sizeof bytes) == 0; }
};

// Ranges, trail bounds, rotation bounds, unused entries still zero, no bitmap.
// The settings must be in range once lumInit has run; before, they are
// zero or whatever in-range value a setter gave them.
void checkStateInvariants(const VisualizerState& state, bool initialised);

// The six settings and the three host values.
bool sameSettings(const VisualizerState& a, const VisualizerState& b);
// How many of those nine fields differ.
int settingsChanged(const VisualizerState& a, const VisualizerState& b);
// The stored points, all 100 of each array.
bool sameTrail(const VisualizerState& a, const VisualizerState& b);

// Host records as the fuzz target hands them over: larger than the plug-in
// needs, so a write past the end of a field or record shows.
inline constexpr std::size_t kInfoBytes = 300;
inline constexpr std::size_t kParamBytes = 200;

// lumInit wrote each text with its terminator inside its field and nothing
// after it, left headerWord alone and wrote nothing past extraInfo's terminator.
void checkPluginInfoWrite(const uint8_t* before, const uint8_t* after);
// A get that answered wrote its texts inside their fields with terminators,
// a known type code, and nothing else; one that did not answer wrote nothing.
void checkParamGetWrite(const uint8_t* before, const uint8_t* after, bool answered);
// A set wrote `value` at most, and only for the ranged ids, and only to pull
// it into range.
void checkParamSetWrite(const uint8_t* before, const uint8_t* after, uint32_t id, bool answered);

}  // namespace gyrotrail::fuzz
