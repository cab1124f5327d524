// Which presets the source applies: only those its list offers. The chosen
// preset is a path kept in the source's settings, which a scene collection or
// a remote-control client may set to anything; reading a device or a FIFO
// there would keep OBS's interface thread reading without end, or waiting.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace lumobs {

// Whether `file` is a preset the search finds in `folders`, as the list shows
// it: a regular file NAME.preset in one of the folders, the first of its name.
// Nothing is read from it.
bool isListedPreset(const std::string& file, const std::vector<std::filesystem::path>& folders);

}  // namespace lumobs
