// The visualisation element: sound in, one video frame per block out, each
// frame drawn by a .lum plug-in onto a canvas of the element's own. One
// GType per plug-in, all derived from GstLumVisualizer, whose class carries
// the plug-in's description; the settings are the class's properties.
//
// It does what pbutils' GstAudioVisualizer does (caps and their
// renegotiation, frame times from the sound's, latency, a pool of frames)
// without deriving from it: that class feeds a fixed, truncated number of
// samples a frame and, at the end of each incoming buffer, lets a frame's
// samples overlap the next one's, and it clears or shades every frame; a .lum plug-in must
// see lumhost's blocks (the remainder carried, every sample exactly once) and
// draws each frame over the last.
#pragma once

#include <gst/gst.h>

#include "gst/plugin_catalogue.h"

namespace lumgst {

// Registers the element `description.factory` for the plug-in; the
// description must live as long as the process.
bool registerVisualizer(GstPlugin* plugin, const PluginDescription* description);

}  // namespace lumgst
