// The element library: at registration, every .lum plug-in on lumhost's
// search path becomes an element lum_NAME. Each is probed out of process, so
// one that does not load (or crashes or hangs while loading) is only left
// out, with a line in the debug log.
#include <gst/gst.h>

#include <string>
#include <vector>

#include "gst/lum_visualizer.h"
#include "gst/plugin_catalogue.h"
#include "loading/plugins/plugin_search.h"

GST_DEBUG_CATEGORY(lumgst_debug);
#define GST_CAT_DEFAULT lumgst_debug

namespace {

// The registry describes the elements again whenever a .lum file in one of
// the folders, or the variables that choose the folders, change.
void watchSearchPath(GstPlugin* plugin, const std::vector<std::filesystem::path>& folders) {
    std::vector<std::string> texts;
    for (const auto& folder : folders) texts.push_back(folder.string());
    std::vector<const gchar*> paths;
    for (const auto& text : texts) paths.push_back(text.c_str());
    paths.push_back(nullptr);
    const gchar* variables[] = {"LUM_PATH", "HOME", "LUM_SYSTEM_ROOT", nullptr};
    const gchar* names[] = {".lum", nullptr};
    gst_plugin_add_dependency(plugin, variables, paths.data(), names, GST_PLUGIN_DEPENDENCY_FLAG_FILE_NAME_IS_SUFFIX);
}

gboolean pluginInit(GstPlugin* plugin) {
    GST_DEBUG_CATEGORY_INIT(lumgst_debug, "lum", 0, ".lum visualisation plug-ins");
    // The process is gst-launch, an application or GStreamer's scanner, not
    // lumhost: plug-ins and bridges are found beside the lumhost that came with this library.
    const auto folders = lumgst::elementSearchFolders();
    watchSearchPath(plugin, folders);
    for (const auto& found : lumhost::findPlugins(folders)) {
        if (found.shadowedBy) {
            GST_DEBUG("%s: shadowed by %s", found.file.c_str(), found.shadowedBy->c_str());
            continue;
        }
        // Descriptions live as long as the types registered with them.
        auto* description = new lumgst::PluginDescription(lumgst::describePlugin(found.name, found.file.string()));
        if (!description->probe.loaded) {
            GST_DEBUG("leaving out %s: %s", found.file.c_str(), description->probe.error.c_str());
            delete description;
            continue;
        }
        if (!lumgst::registerVisualizer(plugin, description)) {
            GST_DEBUG("leaving out %s: the element %s exists already", found.file.c_str(), description->factory.c_str());
            delete description;
            continue;
        }
        GST_DEBUG("%s: element %s", found.file.c_str(), description->factory.c_str());
    }
    return TRUE;
}

}  // namespace

// The package name GStreamer records for the library.
#define PACKAGE "gyrotrail"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, lum, "Every .lum visualisation plug-in as an element",
                  pluginInit, LUMGST_VERSION, "MIT", "gyrotrail", "https://github.com/gyrotrail/gyrotrail")
