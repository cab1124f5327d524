#include "loaded_module.h"

namespace gyrotrail::testing {

std::string programFolder() {
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string modulePath() { return programFolder() + "gyrotrail.lum"; }

namespace {
template <class F>
F find(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}
}  // namespace

LoadedModule::LoadedModule() : handle_(::LoadLibraryA(modulePath().c_str())) {
    if (handle_ == nullptr) return;
    init = find<decltype(init)>(handle_, "lumInit");
    start = find<decltype(start)>(handle_, "lumStart");
    end = find<decltype(end)>(handle_, "lumEnd");
    getBitmap = find<decltype(getBitmap)>(handle_, "lumGetBitmap");
    getParamInfo = find<decltype(getParamInfo)>(handle_, "lumGetParamInfo");
    setParamInfo = find<decltype(setParamInfo)>(handle_, "lumSetParamInfo");
    displaySoundData = find<decltype(displaySoundData)>(handle_, "lumDisplaySoundData");
}

LoadedModule::~LoadedModule() {
    if (handle_ != nullptr) ::FreeLibrary(handle_);
}

bool LoadedModule::complete() const {
    return handle_ != nullptr && init && start && end && getBitmap && getParamInfo && setParamInfo &&
           displaySoundData;
}

}  // namespace gyrotrail::testing
