// What the plug-in tells the host about itself.
#pragma once

#include "lum_plugin.h"

namespace gyrotrail {

// Writes every field but headerWord, in record order, each text with its
// terminator and nothing after it.
void fillPluginInfo(LumPluginInfo& info);

}  // namespace gyrotrail
