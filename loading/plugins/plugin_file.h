// What a plug-in file is, from its first bytes: an ELF shared object (loaded
// in-process), a Windows DLL (hosted through a bridge), or something else.
#pragma once

#include <string>

namespace lumhost {

enum class PluginFileKind { elf, pe32, pe32plus, other };

struct PluginFileType {
    PluginFileKind kind = PluginFileKind::other;
    std::string description;  // for messages: "a Windows DLL (PE32)", "a text file", ...
};

// Throws lumload::LoadError if the file cannot be read.
PluginFileType identifyPluginFile(const std::string& path);

}  // namespace lumhost
