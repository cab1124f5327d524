// Playlists: folders, M3U lists and plain files, in the order they play.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "host_runner.h"
#include "lumhost/base/host_error.h"
#include "lumhost/sound/playlist.h"

namespace lumhost {
namespace {

namespace fs = std::filesystem;

TEST(Playlists, FoldersInNameOrderAndM3uEntriesFromTheirFolder) {
    hosttest::Scratch scratch;
    const fs::path music = scratch.path("music");
    fs::create_directories(music / "sub.wav");
    for (const char* name : {"b.FLAC", "a.wav", "cover.jpg", "c.ogg", "list.m3u"}) std::ofstream(music / name) << "x";
    std::ofstream(scratch.path("list.m3u8")) << "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:1,A\r\nmusic/a.wav\r\n  \r\n/abs/x.mp3\nmusic/../music/c.ogg\n";
    const auto files = expandPlaylist({music.string(), scratch.path("list.m3u8"), "plain.mp3"});
    const std::vector<std::string> expected{(music / "a.wav").string(), (music / "b.FLAC").string(), (music / "c.ogg").string(),
                                            (music / "a.wav").string(), "/abs/x.mp3", (music / "c.ogg").string(), "plain.mp3"};
    EXPECT_EQ(files, expected);
    EXPECT_THROW(expandPlaylist({scratch.path("missing.m3u")}), HostError);
    EXPECT_TRUE(isSoundFileName("X.OPUS"));
    EXPECT_FALSE(isSoundFileName("x.txt"));
}

}  // namespace
}  // namespace lumhost
