#include "obs/preset_choice.h"

#include "loading/plugins/plugin_presets.h"

namespace lumobs {

bool isListedPreset(const std::string& file, const std::vector<std::filesystem::path>& folders) {
    if (file.empty()) return false;
    const std::filesystem::path chosen(file);
    for (const auto& found : lumhost::findPresets(folders))
        if (!found.shadowedBy && found.file == chosen) return true;
    return false;
}

}  // namespace lumobs
