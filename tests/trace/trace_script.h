// A scripted host session, the same on every build: the drawing calls it
// causes are written down and compared between builds.
//
// Script lines (blank lines and lines starting with '#' are skipped):
//   window W H           the window's client area becomes W x H pixels
//   init | start | end   lumInit, lumStart, lumEnd
//   set ID VALUE         lumSetParamInfo(ID) with VALUE (decimal or 0x-hex)
//   seed S               restarts the pseudo-random bytes from S
//   blocks COUNT LENGTH  COUNT frames, each of LENGTH pseudo-random bytes
//   frame LENGTH BYTE    one frame of LENGTH copies of BYTE (0..255)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plugin/lum_plugin.h"

namespace gyrotrail::testing {

// The entry points as a host finds them.
struct EntryPoints {
    decltype(&lumInit) init;
    decltype(&lumStart) start;
    decltype(&lumEnd) end;
    decltype(&lumSetParamInfo) setParamInfo;
    decltype(&lumDisplaySoundData) displaySoundData;
};

// What a script needs from the host that runs it.
class ScriptHost {
public:
    virtual ~ScriptHost() = default;
    virtual LumWindow window() = 0;
    virtual void resizeWindow(int32_t width, int32_t height) = 0;
    // Called before each command, with the command's text.
    virtual void beginCommand(const std::string& command) = 0;
};

// Pseudo-random bytes (xorshift32), identical on every build.
class ByteSource {
public:
    explicit ByteSource(uint32_t seed = 1) : state_(seed != 0 ? seed : 1) {}
    uint8_t next();

private:
    uint32_t state_;
};

// Runs the script; returns what went wrong, or an empty text.
std::string runScript(const std::string& script, const EntryPoints& lum, ScriptHost& host);

// The text of a file, or an empty text with `ok` false.
std::string readFile(const std::string& path, bool& ok);

// Where two traces first differ ("line N: expected ... got ..."), or an
// empty text when they are the same.
std::string firstDifference(const std::string& expected, const std::string& actual);

}  // namespace gyrotrail::testing
