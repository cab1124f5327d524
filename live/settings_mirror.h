// A plug-in's settings as a host keeps them beside a live run: what the
// plug-in said of each setting when it was probed, the ranges it clamps to,
// and the values the host has sent since. Presets are read, checked, applied
// and written against it, so a host's interface thread never waits for the
// plug-in (which may be drawing, slow, or hung); the values it ends with are
// then handed to the run.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "rules/param_text.h"

namespace lumlive {

// One setting: what lumGetParamInfo said, and the range it clamps to.
struct MirroredSetting {
    lumrules::ParamInfo info;
    std::optional<lumrules::ValueRange> range;
};

class SettingsMirror final : public lumrules::ParamAccess {
public:
    SettingsMirror() = default;
    explicit SettingsMirror(std::vector<MirroredSetting> settings) : settings_(std::move(settings)) {}

    std::optional<lumrules::ParamInfo> describe(uint32_t id) const override;
    // Clamps as the plug-in does and keeps the value.
    std::optional<int32_t> set(uint32_t id, int32_t value) const override;

    const std::vector<MirroredSetting>& settings() const { return settings_; }
    // Every setting's current value (id, value), in id order.
    std::vector<std::pair<uint32_t, int32_t>> values() const;

private:
    mutable std::vector<MirroredSetting> settings_;
};

// What a loaded plug-in says of its settings (every listed id, and the range
// each clamps to), probed once before a run starts.
SettingsMirror mirrorOf(const lumrules::ParamAccess& plugin);

// The mirror as the host's keys and presets reach it: each value set is
// clamped and kept by the mirror, then handed on to `handOn` (the live run's
// set), so a host changes its settings without waiting for the plug-in.
class HandedOnSettings final : public lumrules::ParamAccess {
public:
    HandedOnSettings(SettingsMirror& mirror, std::function<void(uint32_t, int32_t)> handOn)
        : mirror_(mirror), handOn_(std::move(handOn)) {}
    std::optional<lumrules::ParamInfo> describe(uint32_t id) const override { return mirror_.describe(id); }
    std::optional<int32_t> set(uint32_t id, int32_t value) const override;

private:
    SettingsMirror& mirror_;
    std::function<void(uint32_t, int32_t)> handOn_;
};

// A preset's text applied to the mirror (all or nothing, as lumhost applies
// one); the (id, value) pairs it names, as applied, to hand to the run. Throws
// lumrules::RuleError for a bad preset.
std::vector<std::pair<uint32_t, int32_t>> applyPresetText(SettingsMirror& mirror, const std::string& text, const std::string& source,
                                                          std::vector<std::string>* notes = nullptr);

}  // namespace lumlive
