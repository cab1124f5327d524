// A front end that is a library loaded by another program (the GStreamer
// element, the OBS source, the VLC module) rather than lumhost itself: it
// stands in for lumhost's executable when it looks for plug-ins, presets and
// the bridges that host Windows modules, using the lumhost installed (or
// built) with it.
#pragma once

#include <filesystem>
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

}  // namespace lumhost
