#include "loading/plugins/plugin_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <vector>

#include "loading/load_error.h"

namespace lumhost {
namespace {

uint32_t littleEndian(const std::vector<unsigned char>& bytes, std::size_t at, int width) {
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = (value << 8) | bytes[at + static_cast<std::size_t>(i)];
    return value;
}

}  // namespace

PluginFileType identifyPluginFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw lumload::LoadError("cannot load plug-in " + path + ": " + std::strerror(errno));
    std::vector<unsigned char> head(4096);
    file.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(file.gcount()));
    if (head.size() >= 4 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F')
        return {PluginFileKind::elf, "an ELF file"};
    if (head.size() >= 0x40 && head[0] == 'M' && head[1] == 'Z') {
        // The DOS header points at the PE signature; the optional header's magic tells 32 from 64 bits.
        const std::size_t pe = littleEndian(head, 0x3C, 4);
        if (pe + 26 <= head.size() && std::memcmp(&head[pe], "PE\0\0", 4) == 0) {
            const uint32_t magic = littleEndian(head, pe + 24, 2);
            if (magic == 0x10B) return {PluginFileKind::pe32, "a Windows DLL (PE32)"};
            if (magic == 0x20B) return {PluginFileKind::pe32plus, "a Windows DLL (PE32+)"};
            return {PluginFileKind::other, "a Windows program of an unknown kind"};
        }
        return {PluginFileKind::other, "a DOS program"};
    }
    if (head.empty()) return {PluginFileKind::other, "an empty file"};
    bool text = true;
    for (unsigned char c : head)
        if (c < 0x09 || (c > 0x0D && c < 0x20 && c != 0x1B)) text = false;
    return {PluginFileKind::other, text ? "a text file" : "neither an ELF shared object nor a Windows DLL"};
}

}  // namespace lumhost
