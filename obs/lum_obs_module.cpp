// The OBS module: when OBS loads it, every .lum plug-in on lumhost's search
// path becomes a source type lum_NAME. Each plug-in is probed out of
// process first, so one that does not load (or crashes or hangs while
// loading) is only left out, with a line in OBS's log.
#include <obs-module.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "loading/plugins/plugin_search.h"
#include "obs/lum_source.h"
#include "obs/source_catalogue.h"

OBS_DECLARE_MODULE()
OBS_MODULE_USE_DEFAULT_LOCALE("lum-obs", "en-US")

namespace {

// The descriptions OBS's source types point into: they live as long as the module.
std::vector<std::unique_ptr<lumobs::SourceDescription>>& descriptions() {
    static std::vector<std::unique_ptr<lumobs::SourceDescription>> all;
    return all;
}

}  // namespace

MODULE_EXPORT const char* obs_module_description(void) { return "Every .lum visualisation plug-in as a source drawn from another source's sound"; }

MODULE_EXPORT const char* obs_module_name(void) { return "gyrotrail .lum sources"; }

bool obs_module_load(void) {
    std::set<std::string> ids;
    for (const auto& found : lumhost::findPlugins(lumobs::sourceSearchFolders())) {
        if (found.shadowedBy) continue;
        auto probe = lumhost::probePlugin(found.file.string());
        if (!probe.loaded) {
            blog(LOG_INFO, "[lum-obs] leaving out %s: %s", found.file.c_str(), probe.error.c_str());
            continue;
        }
        auto description = std::make_unique<lumobs::SourceDescription>(lumobs::describeSource(found.name, found.file.string(), std::move(probe)));
        if (!ids.insert(description->id).second) {
            blog(LOG_INFO, "[lum-obs] leaving out %s: the source %s exists already", found.file.c_str(), description->id.c_str());
            continue;
        }
        const obs_source_info info = lumobs::sourceInfo(*description);
        obs_register_source(&info);
        blog(LOG_INFO, "[lum-obs] %s: source %s", found.file.c_str(), description->id.c_str());
        descriptions().push_back(std::move(description));
    }
    return true;
}

// The module stays loaded when OBS lets it go (it is linked so, for a hung
// plug-in's sake): the types of one start of OBS are forgotten before the next.
void obs_module_unload(void) { descriptions().clear(); }
