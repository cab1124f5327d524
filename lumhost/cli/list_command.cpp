// lumhost list: every plug-in on the search path, one line each, in search
// order: file name, display name, version, vendor, path, and a note for a
// file that does not load or is shadowed by an earlier one of the same name.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "loading/plugins/plugin_probe.h"
#include "loading/plugins/plugin_search.h"
#include "lumhost/cli/commands.h"

namespace lumhost {
namespace {

using Row = std::vector<std::string>;

void printRows(const std::vector<Row>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows)
        for (std::size_t column = 0; column + 1 < row.size(); ++column) {
            if (widths.size() <= column) widths.resize(column + 1, 0);
            widths[column] = std::max(widths[column], row[column].size());
        }
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t column = 0; column < row.size(); ++column) {
            if (column > 0) line += "  ";
            line += row[column];
            if (column + 1 < row.size()) line.append(widths[column] - row[column].size(), ' ');
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        std::printf("%s\n", line.c_str());
    }
}

std::string orDash(const std::string& text) { return text.empty() ? "-" : text; }

}  // namespace

int runList(const ListOptions&) {
    const auto folders = pluginFolders(currentSearchSetting());
    const auto plugins = findPlugins(folders);
    if (plugins.empty()) {
        std::string searched;
        for (const auto& folder : folders) searched += (searched.empty() ? "" : ", ") + folder.string();
        std::fprintf(stderr, "lumhost: no plug-ins in %s\n", searched.c_str());
        return 1;
    }
    std::vector<Row> rows;
    for (const auto& plugin : plugins) {
        const auto probe = probePlugin(plugin.file.string());
        std::string note = probe.windows ? "Windows module, through the Wine bridge" : "";
        if (!probe.runsHere) note += (note.empty() ? "" : "; ") + std::string("not runnable here: ") + probe.error;
        else if (!probe.loaded) note += (note.empty() ? "" : "; ") + std::string("does not load: ") + probe.error;
        if (plugin.shadowedBy) note += (note.empty() ? "" : "; ") + std::string("shadowed by ") + plugin.shadowedBy->string();
        rows.push_back({plugin.name, orDash(probe.displayName), orDash(probe.version), orDash(probe.vendor),
                        plugin.file.string(), note});
    }
    printRows(rows);
    return 0;
}

}  // namespace lumhost
