// lumhost info: the information record and the table of settings.
#include <cstdio>

#include "loading/plugins/plugin_run.h"
#include "lumhost/cli/commands.h"

namespace lumhost {
namespace {

const char* typeName(int32_t type) {
    switch (type) {
        case PARAMTYPE_INTEGER: return "integer";
        case PARAMTYPE_TOGGLE: return "toggle";
        case PARAMTYPE_COLOR: return "colour";
        default: return "other";
    }
}

}  // namespace

int runInfo(const InfoOptions& options) {
    PluginModule plugin(options.plugin.plugin);
    const auto record = initWithSettings(plugin, options.plugin);
    const auto& info = record.info;
    const auto shortName = fieldText(info.shortName, sizeof info.shortName);
    const auto longName = fieldText(info.longName, sizeof info.longName);
    std::printf("plug-in    %s\n", plugin.path().c_str());
    std::printf("name       %s", longName.c_str());
    if (shortName != longName) std::printf(" (%s)", shortName.c_str());
    std::printf("\nversion    %s\n", fieldText(info.version, sizeof info.version).c_str());
    std::printf("vendor     %s\n", fieldText(info.vendor, sizeof info.vendor).c_str());
    std::printf("copyright  %s\n", fieldText(info.copyright, sizeof info.copyright).c_str());
    std::printf("web        %s\n", fieldText(info.url, sizeof info.url).c_str());
    const auto extra = fieldText(info.extraInfo, sizeof info.extraInfo + sizeof record.extraRoom);
    if (!extra.empty()) std::printf("more       %s\n", extra.c_str());

    std::printf("\n%4s  %-16s %-8s %-22s %-7s %s\n", "id", "name", "type", "value", "range", "description");
    for (const auto& param : listParams(plugin)) {
        const auto range = clampRange(plugin, param.id);
        const std::string rangeText = range ? std::to_string(range->low) + "-" + std::to_string(range->high) : "-";
        std::printf("%4u  %-16s %-8s %-22s %-7s %s\n", param.id, param.name.c_str(), typeName(param.type),
                    lumrules::formatValue(param.type, param.value).c_str(), rangeText.c_str(), param.description.c_str());
    }
    return 0;
}

}  // namespace lumhost
