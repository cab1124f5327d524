// A plug-in's settings as text: values parsed and formatted, names matched
// and written in each front end's convention, ranges found by asking the
// plug-in to clamp, and the note a host gives when the plug-in clamps.
//
// Nothing here loads a plug-in: a front end hands in its two parameter entry
// points as a ParamAccess (lumhost's loaded module, the bridge, the page's
// module that links the plug-in in).
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace lumrules {

// The one kind of failure the rules report: a line naming the cause.
struct RuleError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// What lumGetParamInfo says of one setting.
struct ParamInfo {
    uint32_t id = 0;
    int32_t type = 0;  // PARAMTYPE_*
    std::string name;
    int32_t value = 0;
    std::string description;
};

// lumGetParamInfo and lumSetParamInfo as a front end reaches them.
class ParamAccess {
public:
    virtual ~ParamAccess() = default;
    // The setting's record; nothing if the plug-in does not know the id.
    virtual std::optional<ParamInfo> describe(uint32_t id) const = 0;
    // Sets the value; the value the plug-in applied (it may clamp), or
    // nothing if it does not know the id.
    virtual std::optional<int32_t> set(uint32_t id, int32_t value) const = 0;
};

// The ids asked for when listing a plug-in's settings.
inline constexpr uint32_t highestListedId = 255;

// Every id from 0 to 255 that the plug-in describes, in id order.
std::vector<ParamInfo> listParams(const ParamAccess& plugin);

// The setting whose name matches `name` (see namesMatch), if any.
std::optional<ParamInfo> findParam(const ParamAccess& plugin, std::string_view name);

struct ValueRange {
    int32_t low;
    int32_t high;
};

// The range a setting takes, found by asking the plug-in to clamp the lowest
// and the highest 32-bit values; nothing if it takes both as they come (or
// does not know the id). The setting's value is put back afterwards.
std::optional<ValueRange> clampRange(const ParamAccess& plugin, uint32_t id);

// Names match ignoring case, with '-' and '_' standing for spaces.
bool namesMatch(std::string_view given, std::string_view reported);

// How each front end names a setting called, say, "Line width".
enum class NameStyle {
    option,       // lumhost's --set and presets, the page's address: "line-width"
    gstProperty,  // a GObject property: "line-width"
    obsKey,       // an OBS settings key: "line_width"
    label,        // what a panel shows: "Line width", as the plug-in has it
};

// The setting's name in that style: for keys, lower-case letters and digits
// with the words joined by '-' or '_'.
std::string paramName(std::string_view name, NameStyle style);

// A key made unique among `taken`: a key that is empty, does not start with a
// letter, or is taken gets the id in it ("setting-7", "name-7").
std::string uniqueParamKey(std::string_view name, uint32_t id, NameStyle style, const std::vector<std::string>& taken);

// Parses a value for a setting of the given type code (0 if unknown):
// decimal or 0x-hex integers for every type, "#RRGGBB" for colours (stored
// as 0x00BBGGRR), on/off/true/false/yes/no for toggles. Nothing if it does not parse.
std::optional<int32_t> parseValue(std::string_view text, int32_t type);

// parseValue, or RuleError "bad parameter value 'TEXT' (expected ...)".
int32_t parseValueOrThrow(std::string_view text, int32_t type);

// The value as a person reads it: hex and #RRGGBB for colours, on/off for toggles.
std::string formatValue(int32_t type, int32_t value);

// The value as a preset line, an address or a --set writes it, so that
// parseValue reads it back to the same bits: #RRGGBB for plain colours (0x
// and eight digits when the top byte is set), on/off, decimal.
std::string valueText(int32_t type, int32_t value);

// #rrggbb of a colour value (its top byte left out) and back; the second is
// nothing for anything but six hex digits after an optional '#'.
std::string colourHex(int32_t value);
std::optional<int32_t> colourFromHex(std::string_view text);

// A setting named and valued in text, checked against the plug-in.
struct Assignment {
    uint32_t id = 0;
    int32_t type = 0;
    std::string label;  // the plug-in's name for it, or "parameter ID"
    int32_t value = 0;
};

// "NAME=VALUE" split at its first '=', both sides trimmed of spaces; nothing
// if either side is empty or there is no '='.
std::optional<std::pair<std::string, std::string>> splitAssignment(std::string_view text);

// The value parsed for a setting the plug-in described as `known` (or not at
// all); RuleError "LABEL: bad parameter value ...".
Assignment resolveValue(uint32_t id, const std::optional<ParamInfo>& known, std::string_view value);

// Finds the setting by name and parses the value without applying it;
// RuleError "the plug-in has no parameter named 'X'" or "NAME: bad parameter value ...".
Assignment resolveByName(const ParamAccess& plugin, std::string_view name, std::string_view value);

// The same by id (a setting the plug-in does not describe keeps its bare
// value, as host values do).
Assignment resolveById(const ParamAccess& plugin, uint32_t id, std::string_view value);

// Settings separated by ';' ("zoom factor=80;line width=3"), resolved in
// order; RuleError naming the setting that is wrong.
std::vector<Assignment> resolveList(const ParamAccess& plugin, std::string_view text);

// What a host says when the plug-in clamped a value: "Line width: 1000 is out
// of range, applied 50"; nothing when it took the value as given.
std::optional<std::string> clampNote(const Assignment& asked, int32_t applied);

// Applies one assignment; the note if the plug-in clamped it. RuleError if
// the plug-in does not know the id.
std::optional<std::string> apply(const ParamAccess& plugin, const Assignment& assignment);

}  // namespace lumrules
