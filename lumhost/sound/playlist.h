// What `lumhost play` plays in turn: files as given, a folder's sound files
// in name order, and the entries of .m3u/.m3u8 playlists.
#pragma once

#include <string>
#include <vector>

namespace lumhost {

// Whether a file name ends in one of the audio or video extensions a folder
// is searched for (case-insensitive).
bool isSoundFileName(const std::string& name);

// The files the arguments stand for, in order. A folder gives its sound
// files sorted by name (not its subfolders); a playlist gives its entries,
// relative paths read from the playlist's folder, '#' lines skipped. Anything
// else is passed on as it is, to fail (or not) when it is opened. A playlist
// that cannot be read throws HostError.
std::vector<std::string> expandPlaylist(const std::vector<std::string>& arguments);

}  // namespace lumhost
