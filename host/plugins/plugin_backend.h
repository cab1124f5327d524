// How a loaded plug-in is reached: its seven entry points called in-process,
// or through a bridge to another process. Records travel with their full
// size, so a bridge can carry every byte the host owns both ways.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lum_plugin.h"

namespace lumhost {

class PluginBackend {
public:
    virtual ~PluginBackend() = default;
    virtual int32_t init(LumPluginInfo* info, std::size_t size) = 0;
    virtual int32_t start() = 0;
    virtual int32_t end() = 0;
    virtual LumBitmap getBitmap() = 0;
    virtual int32_t getParamInfo(uint32_t id, LumParamInfo* record, std::size_t size) = 0;
    virtual int32_t setParamInfo(uint32_t id, LumParamInfo* record, std::size_t size) = 0;
    virtual int32_t displaySoundData(LumCanvas* canvas, const void* data, uint32_t length) = 0;
    // From another thread: makes a call that hangs in the plug-in return (with
    // an error) where that can be done; an in-process plug-in cannot be.
    virtual void abandon() {}
};

}  // namespace lumhost
