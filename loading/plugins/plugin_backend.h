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
    // From any thread: gives up on a plug-in that another thread may be
    // waiting on. A bridge is killed, so that call returns at once with
    // lumload::LoadError; code in lumhost's own process cannot be stopped, so an
    // in-process plug-in is left as it is.
    virtual void abandon() {}
};

}  // namespace lumhost
