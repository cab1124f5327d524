// The host's rules for the page, from the shared library: the plug-in's
// records read here rather than at byte offsets in JavaScript, the settings
// through an EntryPointParams over the linked-in entry points, values as
// text, presets, and the player's key table with its help. The page keeps
// none of these rules itself.
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <string>

#include "lum_plugin.h"
#include "rules/defaults.h"
#include "rules/entry_point_params.h"
#include "rules/param_text.h"
#include "rules/play_keys.h"
#include "rules/presets.h"
#include "web/wasm/web_text.h"

using webhost::fail;
using webhost::give;
using webhost::jsonString;
using webhost::jsonStrings;

namespace {

const lumrules::EntryPointParams& plugin() {
    static const lumrules::EntryPointParams params{&lumGetParamInfo, &lumSetParamInfo};
    return params;
}

// Numbers cross as doubles so that "none" can be NaN beside every 32-bit value.
constexpr double none = std::numeric_limits<double>::quiet_NaN();

double orNone(const std::optional<int32_t>& value) { return value ? static_cast<double>(*value) : none; }

std::string fieldText(const char* field, std::size_t width) {
    std::size_t length = 0;
    while (length < width && field[length] != '\0') ++length;
    return std::string(field, length);
}

const char* typeName(int32_t type) {
    switch (type) {
        case PARAMTYPE_TOGGLE: return "toggle";
        case PARAMTYPE_COLOR: return "color";
        default: return "integer";
    }
}

const char* actionName(lumrules::KeyAction action) {
    using lumrules::KeyAction;
    switch (action) {
        case KeyAction::none: return "none";
        case KeyAction::quit: return "quit";
        case KeyAction::restart: return "restart";
        case KeyAction::step: return "step";
        case KeyAction::pause: return "pause";
        case KeyAction::seek: return "seek";
        case KeyAction::nextFile: return "nextFile";
        case KeyAction::previousFile: return "previousFile";
        case KeyAction::mute: return "mute";
        case KeyAction::volume: return "volume";
        case KeyAction::fullscreen: return "fullscreen";
        case KeyAction::help: return "help";
        case KeyAction::delay: return "delay";
        case KeyAction::nextPreset: return "nextPreset";
        case KeyAction::savePreset: return "savePreset";
        case KeyAction::randomise: return "randomise";
    }
    return "none";
}

std::string assignmentJson(const lumrules::Assignment& assignment) {
    return "{\"id\":" + std::to_string(assignment.id) + ",\"type\":" + jsonString(typeName(assignment.type)) +
           ",\"typeCode\":" + std::to_string(assignment.type) +
           ",\"label\":" + jsonString(assignment.label) + ",\"value\":" + std::to_string(assignment.value) + "}";
}

// Runs a rule that may refuse, handing its line to webLastError.
template <typename Rule>
const char* guarded(Rule rule) {
    try {
        return give(rule());
    } catch (const lumrules::RuleError& error) {
        return fail(error.what());
    }
}

}  // namespace

// ---- the defaults every front end shares ---------------------------------------

// The canvas and frame rate a front end uses unless told otherwise, as JSON.
WEB_EXPORT const char* webDefaults() {
    return give("{\"width\":" + std::to_string(lumrules::defaultWidth) + ",\"height\":" + std::to_string(lumrules::defaultHeight) +
                ",\"fps\":" + std::to_string(lumrules::defaultFps) + "}");
}

// ---- the plug-in's records ---------------------------------------------------

// lumInit with a record of the module's own, room left for extraInfo; the
// information record's texts as JSON, or null if lumInit refuses.
WEB_EXPORT const char* webInit() {
    static struct {
        LumPluginInfo info;
        char room[256];
    } record;
    record = {};
    if (lumInit(&record.info) != 1) return fail("lumInit refused the information record");
    const auto& info = record.info;
    return give("{\"version\":" + jsonString(fieldText(info.version, sizeof info.version)) +
                ",\"shortName\":" + jsonString(fieldText(info.shortName, sizeof info.shortName)) +
                ",\"longName\":" + jsonString(fieldText(info.longName, sizeof info.longName)) +
                ",\"vendor\":" + jsonString(fieldText(info.vendor, sizeof info.vendor)) +
                ",\"copyright\":" + jsonString(fieldText(info.copyright, sizeof info.copyright)) +
                ",\"url\":" + jsonString(fieldText(info.url, sizeof info.url)) + "}");
}

// Every setting the plug-in describes, in id order, with the page's key for
// it and the range it clamps to (null where it takes any value). Finding a
// range sets values, so this is asked before a run.
WEB_EXPORT const char* webParams() {
    std::string out = "[";
    for (const auto& param : lumrules::listParams(plugin())) {
        const auto range = lumrules::clampRange(plugin(), param.id);
        if (out.size() > 1) out += ",";
        out += "{\"id\":" + std::to_string(param.id) + ",\"type\":" + jsonString(typeName(param.type)) +
               ",\"typeCode\":" + std::to_string(param.type) + ",\"name\":" + jsonString(param.name) +
               ",\"key\":" + jsonString(lumrules::paramName(param.name, lumrules::NameStyle::option)) +
               ",\"value\":" + std::to_string(param.value) + ",\"description\":" + jsonString(param.description) +
               ",\"min\":" + (range ? std::to_string(range->low) : "null") +
               ",\"max\":" + (range ? std::to_string(range->high) : "null") + "}";
    }
    return give(out + "]");
}

// A setting's value now; NaN if the plug-in does not describe it.
WEB_EXPORT double webParamValue(uint32_t id) {
    const auto param = plugin().describe(id);
    return param ? static_cast<double>(param->value) : none;
}

// Sets a value; the value the plug-in applied, NaN if it does not know the id.
WEB_EXPORT double webSetParam(uint32_t id, int32_t value) { return orNone(plugin().set(id, value)); }

// ---- values as text ------------------------------------------------------------

// A value typed for a setting of type code `type` (see lumrules::parseValue); NaN if it does not parse.
WEB_EXPORT double webParseValue(const char* text, int32_t type) {
    return text == nullptr ? none : orNone(lumrules::parseValue(text, type));
}

// The value as a person reads it ("0x0000C0FF (#FFC000)", "on").
WEB_EXPORT const char* webFormatValue(int32_t type, int32_t value) { return give(lumrules::formatValue(type, value)); }

// The value as an address or a preset writes it.
WEB_EXPORT const char* webValueText(int32_t type, int32_t value) { return give(lumrules::valueText(type, value)); }

// A colour as a colour picker shows it, #rrggbb, and back (NaN for anything else).
WEB_EXPORT const char* webColourHex(int32_t value) { return give(lumrules::colourHex(value)); }
WEB_EXPORT double webColourFromHex(const char* text) { return text == nullptr ? none : orNone(lumrules::colourFromHex(text)); }

// NAME and VALUE as --set takes them, resolved against the plug-in without
// applying: {"id", "type", "label", "value"}, or null and the reason.
WEB_EXPORT const char* webResolve(const char* name, const char* value) {
    if (name == nullptr || value == nullptr) return fail("no setting given");
    return guarded([&] { return assignmentJson(lumrules::resolveByName(plugin(), name, value)); });
}

// ---- presets -------------------------------------------------------------------

// Checks a preset's text and applies it whole; the notes of clamped values
// as a JSON list, or null and "SOURCE:LINE: what is wrong" with nothing changed.
WEB_EXPORT const char* webApplyPreset(const char* text, const char* source) {
    if (text == nullptr || source == nullptr) return fail("no preset given");
    return guarded([&] { return jsonStrings(lumrules::applyPreset(plugin(), text, source)); });
}

// Checks a preset without applying it: its settings as a JSON list, or null and the line at fault.
WEB_EXPORT const char* webCheckPreset(const char* text, const char* source) {
    if (text == nullptr || source == nullptr) return fail("no preset given");
    return guarded([&] {
        std::string out = "[";
        for (const auto& setting : lumrules::checkPreset(plugin(), text, source))
            out += (out.size() > 1 ? "," : "") + assignmentJson(setting);
        return out + "]";
    });
}

// The current settings as a preset file's text.
WEB_EXPORT const char* webPresetText() { return give(lumrules::presetText(plugin())); }

// A preset file's extension.
WEB_EXPORT const char* webPresetSuffix() { return lumrules::presetSuffix; }

// "" for a name a preset may have, else null and why not.
WEB_EXPORT const char* webCheckPresetName(const char* name) {
    return guarded([&] {
        lumrules::checkPresetName(name == nullptr ? "" : name);
        return std::string();
    });
}

// The first of STEM-1, STEM-2, ... not among `taken` (names one a line).
WEB_EXPORT const char* webFreePresetName(const char* stem, const char* taken) {
    const std::string_view names = taken == nullptr ? "" : taken;
    return give(lumrules::freePresetName(stem == nullptr ? "saved" : stem, [&](const std::string& name) {
        for (std::size_t at = 0; at <= names.size();) {
            const auto end = std::min(names.find('\n', at), names.size());
            if (names.substr(at, end - at) == name) return true;
            at = end + 1;
        }
        return false;
    }));
}

// The preset after the one at `last` of `count` (`last` == `count`: none chosen yet).
WEB_EXPORT int webNextPreset(int last, int count) {
    if (count <= 0) return 0;
    return static_cast<int>(lumrules::nextPreset(static_cast<std::size_t>(std::max(last, 0)), static_cast<std::size_t>(count)));
}

// Random settings within what the plug-in accepts, from `seed`; "Name: value" for each, as a JSON list.
WEB_EXPORT const char* webRandomise(uint32_t seed) {
    std::mt19937 random(seed);
    return give(jsonStrings(lumrules::randomiseSettings(plugin(), random)));
}

// ---- the player's keys -----------------------------------------------------------

// The binding of a key by its KeyboardEvent.key name (`typed` 0), or of a
// character typed (`typed` 1), as JSON; "null" if the table has none.
WEB_EXPORT const char* webFindKey(const char* name, int typed) {
    if (name == nullptr) return give("null");
    const auto* binding = typed != 0 ? lumrules::findTyped(name) : lumrules::findKey(name);
    if (binding == nullptr) return give("null");
    return give("{\"key\":" + jsonString(binding->key) + ",\"action\":" + jsonString(actionName(binding->action)) +
                ",\"paramId\":" + std::to_string(binding->paramId) + ",\"step\":" + std::to_string(binding->step) +
                ",\"pageNote\":" + (binding->pageNote != nullptr ? jsonString(binding->pageNote) : "null") + "}");
}

// A step key on setting `id`: a toggle flips, a colour moves to the next of
// the player's colours, anything else moves by `step`; the value the plug-in
// applied, NaN if it does not describe the setting.
WEB_EXPORT double webStepParam(uint32_t id, int32_t step) {
    const auto current = plugin().describe(id);
    if (!current) return none;
    return orNone(plugin().set(id, lumrules::steppedValue(current->type, current->value, step)));
}

// The key help as the page shows it, a JSON list of lines.
WEB_EXPORT const char* webPageKeyHelp() { return give(jsonStrings(lumrules::pageKeyHelpLines())); }
