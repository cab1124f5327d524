// The visualisation element: sound in, one video frame per block out, each
// frame drawn by a .lum plug-in onto a canvas of the element's own. One
// GType per plug-in, all derived from GstLumVisualizer, whose class carries
// the plug-in's description; the settings are the class's properties.
#pragma once

#include <gst/gst.h>

#include "gst/plugin_catalogue.h"

namespace lumgst {

// Registers the element `description.factory` for the plug-in; the
// description must live as long as the process.
bool registerVisualizer(GstPlugin* plugin, const PluginDescription* description);

}  // namespace lumgst
