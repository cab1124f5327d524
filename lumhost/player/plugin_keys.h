// The player's keys that change the plug-in: one setting a step, the
// plug-in's presets in turn, saving the settings as a preset, random
// settings. Each says what it did on the screen (and on stderr). They reach
// the settings through a ParamAccess: lumhost play's is a mirror beside its
// live run, which hands each value on to the plug-in.
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "lumhost/player/player_io.h"
#include "rules/param_text.h"
#include "rules/play_keys.h"

namespace lumhost {

// Applies a key's step to its setting and says what the plug-in applied.
void changeSetting(const lumrules::ParamAccess& settings, const lumrules::KeyBinding& binding, PlayerScreen& screen);

// The presets of the plug-in being played, found afresh at each key, so one
// saved while playing comes in turn.
class PresetKeys {
public:
    // `pluginFile`: the .lum file, whose name the presets are kept under.
    PresetKeys(const lumrules::ParamAccess& settings, const std::string& pluginFile);

    // The next preset after the one applied last; a bad one is said in one line and changes nothing.
    void next(PlayerScreen& screen);
    // The settings as a new preset "saved-N" in the user's folder.
    void save(PlayerScreen& screen);
    // A random value for every setting the plug-in gives a range, toggle or colour.
    void randomise(PlayerScreen& screen);

private:
    const lumrules::ParamAccess& settings_;
    std::string name_;
    std::size_t shown_ = SIZE_MAX;  // the preset applied last, among those found then; none yet
    std::mt19937 random_{std::random_device{}()};
};

}  // namespace lumhost
