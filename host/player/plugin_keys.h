// The player's keys that change the plug-in: one setting a step, the
// plug-in's presets in turn, saving the settings as a preset, random
// settings. Each says what it did on the screen (and on stderr).
#pragma once

#include <cstdint>
#include <random>
#include <string>

#include "host/player/player_io.h"
#include "host/plugins/plugin_module.h"
#include "rules/play_keys.h"

namespace lumhost {

// Applies a key's step to its setting and says what the plug-in applied.
void changeSetting(const PluginModule& plugin, const lumrules::KeyBinding& binding, PlayerScreen& screen);

// The presets of the plug-in being played, found afresh at each key, so one
// saved while playing comes in turn.
class PresetKeys {
public:
    explicit PresetKeys(const PluginModule& plugin);

    // The next preset after the one applied last; a bad one is said in one line and changes nothing.
    void next(PlayerScreen& screen);
    // The settings as a new preset "saved-N" in the user's folder.
    void save(PlayerScreen& screen);
    // A random value for every setting the plug-in gives a range, toggle or colour.
    void randomise(PlayerScreen& screen);

private:
    const PluginModule& plugin_;
    std::string name_;
    std::size_t shown_ = SIZE_MAX;  // the preset applied last, among those found then; none yet
    std::mt19937 random_{std::random_device{}()};
};

}  // namespace lumhost
