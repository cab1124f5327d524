// What running a bridge under Wine takes: the bridge program for the
// module's word size, Wine's loader and server for it, and a prefix
// ($WINEPREFIX, or lumhost's own under the user's cache folder, made on
// first use).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace lumhost {

struct WineSetup {
    std::string bridge;  // lumbridge32.exe or lumbridge64.exe
    std::string loader;  // Wine's loader for that word size
    std::string server;  // the wineserver that goes with the prefix
    std::string prefix;
};

// The bridges are found from the folder of lumhost's executable: the running
// program's own, unless a front end that is not lumhost (the GStreamer
// element library) names the folder of the lumhost it came with. An empty
// folder goes back to the running program's.
void findBridgesBeside(const std::filesystem::path& lumhostFolder);

// Finds everything; throws lumload::LoadError with one line (naming the Debian
// packages where Wine is missing).
WineSetup findWine(bool sixtyFourBit);

// Makes the prefix if it has never been used, with a progress line on
// stderr; `display` is the X display Wine's set-up may open windows on.
void preparePrefix(const WineSetup& wine, const std::string& display);

// The whole environment ("NAME=value") a Wine program of lumhost's runs
// with: lumhost's own, with the prefix, the loaders and the private display.
// lumhost's own environment stays as it was (its live window keeps the
// user's display).
std::vector<std::string> wineEnvironment(const WineSetup& wine, const std::string& display);

// The null-terminated pointer array exec wants, into `texts`.
std::vector<char*> pointers(std::vector<std::string>& texts);

}  // namespace lumhost
