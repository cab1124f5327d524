// The scripted trace session as whole frames, at any pen width: the script
// with every line-width setting replaced, and a hash of a frame's pixels.
//
// Recorded frame hashes are one line per width:
//   width W : H1 H2 ...
// the FNV-1a hash (hex) of the window's pixels after each frame, in order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gyrotrail::oracle {

// The script with each "set 11 V" (line width) made "set 11 W", and the
// width set to W right after every "init".
std::string scriptWithWidth(const std::string& script, int32_t width);

// The script with each colour setting ("set 10 V") cut to V's low 24 bits.
// The canvas takes a pen's colour from those bits alone; GDI reads a colour
// value whose top byte is odd as an index into the context's palette (the
// low 16 bits; black past its 20 entries), so the session's colour with a
// top byte is compared as its low 24 bits.
std::string scriptWithLowColourBytes(const std::string& script);

// FNV-1a over the pixels of a top-down 0x00RRGGBB frame, row by row.
uint32_t frameHash(const uint32_t* pixels, int32_t width, int32_t height, int32_t stridePixels);

std::string formatFrameHashes(int32_t width, const std::vector<uint32_t>& hashes);
bool parseFrameHashes(const std::string& line, int32_t& width, std::vector<uint32_t>& hashes);

}  // namespace gyrotrail::oracle
