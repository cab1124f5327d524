// The module tests' own VLC: libvlc and libvlccore are the build's copies,
// whose plug-in tree holds VLC's own plug-ins but no lum module, so a module
// installed on the machine never stands in for this build's.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;

// The files of the libraries whose names contain `name` mapped into this process.
std::set<std::string> mappedFiles(const std::string& name) {
    std::set<std::string> files;
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        const auto slash = line.find('/');
        if (slash == std::string::npos) continue;
        const auto file = line.substr(slash);
        if (fs::path(file).filename().string().find(name) != std::string::npos) files.insert(file);
    }
    return files;
}

bool inside(const fs::path& file, const fs::path& folder) {
    const auto relative = fs::weakly_canonical(file).lexically_relative(fs::weakly_canonical(folder));
    return !relative.empty() && *relative.begin() != "..";
}

TEST(VlcOfItsOwn, LibvlcAndLibvlccoreAreTheBuildsCopies) {
    const auto libvlccore = mappedFiles("libvlccore.so");
    const auto libvlc = mappedFiles("libvlc.so");
    ASSERT_EQ(libvlccore.size(), 1u);
    ASSERT_EQ(libvlc.size(), 1u);
    EXPECT_TRUE(inside(*libvlccore.begin(), LUMVLC_PRIVATE_VLC)) << *libvlccore.begin();
    EXPECT_TRUE(inside(*libvlc.begin(), LUMVLC_PRIVATE_VLC)) << *libvlc.begin();
}

TEST(VlcOfItsOwn, PluginTreeHasVlcsOwnPluginsButNoLumModule) {
    const fs::path tree = fs::path(LUMVLC_PRIVATE_VLC) / "vlc/plugins";
    int plugins = 0;
    for (const auto& entry : fs::recursive_directory_iterator(tree)) {
        if (entry.is_directory()) continue;
        ++plugins;
        EXPECT_NE(entry.path().filename(), "liblum_plugin.so") << entry.path();
    }
    // What the tests play with: the sound and picture callbacks, a WAV reader.
    for (const char* plugin : {"audio_output/libamem_plugin.so", "video_output/libvmem_plugin.so", "demux/libwav_plugin.so"})
        EXPECT_TRUE(fs::exists(tree / plugin)) << plugin;
    EXPECT_GT(plugins, 50);
}

}  // namespace
