// gyrotrail.lum as a Win32 host loads it: by file name from the folder of
// this program, with each entry point looked up by name. A fresh load gives
// a fresh plug-in: the module is unloaded again when this goes.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

#include "plugin/lum_plugin.h"
#include "trace/trace_script.h"

namespace gyrotrail::testing {

// The folder of the running program, with a trailing backslash.
std::string programFolder();
// The module's full file name.
std::string modulePath();

class LoadedModule {
public:
    LoadedModule();
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    HMODULE handle() const { return handle_; }
    bool complete() const;  // loaded, and every entry point found
    EntryPoints entryPoints() const { return {init, start, end, setParamInfo, displaySoundData}; }

    decltype(&lumInit) init = nullptr;
    decltype(&lumStart) start = nullptr;
    decltype(&lumEnd) end = nullptr;
    decltype(&lumGetBitmap) getBitmap = nullptr;
    decltype(&lumGetParamInfo) getParamInfo = nullptr;
    decltype(&lumSetParamInfo) setParamInfo = nullptr;
    decltype(&lumDisplaySoundData) displaySoundData = nullptr;

private:
    HMODULE handle_ = nullptr;
};

}  // namespace gyrotrail::testing
