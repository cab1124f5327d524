// A front end that is a library loaded by another program (the GStreamer
// element, the OBS source, the VLC module) rather than lumhost itself: it
// stands in for lumhost's executable when it looks for plug-ins, presets and
// the bridges that host Windows modules, using the lumhost installed (or
// built) with it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace lumhost {

// Where a front-end library lives and where its lumhost is, as the build
// configured it.
struct LibraryHome {
    std::filesystem::path buildFolder;         // the folder the library is built into
    std::filesystem::path buildLumhostFolder;  // lumhost's folder in that build tree
    std::filesystem::path bindirFromLibrary;   // installed: lumhost's folder relative to the library's
};

// The folder of the shared object that holds `address` (a function of the library).
std::filesystem::path libraryFolderOf(const void* address);

// The lumhost folder for a library in `libraryFolder`: in the build tree,
// lumhost and the plug-ins it built sit in the build's lumhost folder;
// installed, lumhost is where the install puts programs.
std::filesystem::path lumhostFolderFor(const std::filesystem::path& libraryFolder, const LibraryHome& home);

// lumhost's plug-in search path with `lumhostFolder` standing in for its
// executable's folder; the bridges are looked for beside it too.
std::vector<std::filesystem::path> searchFoldersBeside(const std::filesystem::path& lumhostFolder);

// A name part of an identifier from a plug-in's file name: letters, digits
// and '_' kept, anything else '_' ("my scope-2.0" is "my_scope_2_0").
std::string identifierPart(const std::string& name);

// What every front end calls the plug-in NAME.lum among its own elements or
// sources: "lum_" and the identifier part lower-cased ("lum_gyrotrail"), so
// a plug-in goes by one name in GStreamer and in OBS.
std::string featureName(const std::string& name);

}  // namespace lumhost
