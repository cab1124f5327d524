// lumbridge: hosts one Windows .lum module for lumhost. lumhost starts it
// under Wine as
//
//   lumbridge32.exe MODULE CANVAS-FILE
//
// and sends requests on standard input; each is answered on standard output
// (see bridge_protocol.h). The module's own output goes to standard error,
// so nothing it prints can break the answers.
// windows.h first: shellapi.h builds on it.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bridge_window.h"
#include "loading/bridge/bridge_protocol.h"
#include "lum_plugin.h"

namespace lumbridge {
namespace {

HANDLE answers = INVALID_HANDLE_VALUE;
HANDLE requests = INVALID_HANDLE_VALUE;

bool readExactly(void* buffer, size_t size) {
    auto* at = static_cast<char*>(buffer);
    while (size > 0) {
        DWORD got = 0;
        if (!ReadFile(requests, at, static_cast<DWORD>(size), &got, nullptr) || got == 0) return false;
        at += got;
        size -= got;
    }
    return true;
}

bool writeExactly(const void* buffer, size_t size) {
    const auto* at = static_cast<const char*>(buffer);
    while (size > 0) {
        DWORD put = 0;
        if (!WriteFile(answers, at, static_cast<DWORD>(size), &put, nullptr) || put == 0) return false;
        at += put;
        size -= put;
    }
    return true;
}

bool answer(int32_t result, const void* payload = nullptr, uint32_t size = 0, uint64_t bitmap = 0) {
    const AnswerHead head{result, size, bitmap};
    return writeExactly(&head, sizeof head) && (size == 0 || writeExactly(payload, size));
}

// A fault in the module is told to lumhost with its code; the process then
// ends at once, before any debugger or crash dialog could start.
LONG WINAPI reportFault(EXCEPTION_POINTERS* pointers) {
    const DWORD code = pointers != nullptr && pointers->ExceptionRecord != nullptr ? pointers->ExceptionRecord->ExceptionCode : 0;
    answer(faultResult, nullptr, 0, code);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Standard input and output are the bridge's channel: the module gets the
// null device for input and standard error for output, for both Windows
// handles and the C runtime's descriptors.
void takeChannel() {
    HANDLE self = GetCurrentProcess();
    DuplicateHandle(self, GetStdHandle(STD_INPUT_HANDLE), self, &requests, 0, FALSE, DUPLICATE_SAME_ACCESS);
    DuplicateHandle(self, GetStdHandle(STD_OUTPUT_HANDLE), self, &answers, 0, FALSE, DUPLICATE_SAME_ACCESS);
    HANDLE nothing = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    SetStdHandle(STD_INPUT_HANDLE, nothing);
    SetStdHandle(STD_OUTPUT_HANDLE, GetStdHandle(STD_ERROR_HANDLE));
    std::fflush(stdout);
    _dup2(_fileno(stderr), _fileno(stdout));
    const int none = _open("NUL", _O_RDONLY);
    if (none >= 0) _dup2(none, _fileno(stdin));
}

struct EntryPoints {
    decltype(&::lumInit) init = nullptr;
    decltype(&::lumStart) start = nullptr;
    decltype(&::lumEnd) end = nullptr;
    decltype(&::lumGetBitmap) getBitmap = nullptr;
    decltype(&::lumGetParamInfo) getParamInfo = nullptr;
    decltype(&::lumSetParamInfo) setParamInfo = nullptr;
    decltype(&::lumDisplaySoundData) displaySoundData = nullptr;
};

template <class Function>
bool find(HMODULE module, const char* name, Function& out, std::string& missing) {
    out = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (out == nullptr && missing.empty()) missing = name;
    return out != nullptr;
}

std::string lastError() {
    const DWORD code = GetLastError();
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string result = "Windows error " + std::to_string(code);
    if (text != nullptr) {
        char narrow[512] = {};
        WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow, sizeof narrow - 1, nullptr, nullptr);
        LocalFree(text);
        std::string message = narrow;
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) message.pop_back();
        if (!message.empty()) result = message;
    }
    return result;
}

bool refuse(const std::string& reason) { return answer(0, reason.data(), static_cast<uint32_t>(reason.size())); }

// The shared canvas file, mapped again whenever a larger canvas needs more of it.
class SharedCanvas {
public:
    bool open(const wchar_t* path) {
        file_ = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        return file_ != INVALID_HANDLE_VALUE;
    }
    uint32_t* pixels(size_t bytes) {
        if (bytes <= mapped_) return view_;
        if (view_ != nullptr) UnmapViewOfFile(view_);
        if (mapping_ != nullptr) CloseHandle(mapping_);
        view_ = nullptr;
        mapped_ = 0;
        mapping_ = CreateFileMappingW(file_, nullptr, PAGE_READWRITE, static_cast<DWORD>(static_cast<uint64_t>(bytes) >> 32),
                                      static_cast<DWORD>(bytes), nullptr);
        if (mapping_ == nullptr) return nullptr;
        view_ = static_cast<uint32_t*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, bytes));
        if (view_ != nullptr) mapped_ = bytes;
        return view_;
    }

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
    HANDLE mapping_ = nullptr;
    uint32_t* view_ = nullptr;
    size_t mapped_ = 0;
};

int serve(const EntryPoints& entry, SharedCanvas& canvas) {
    BridgeWindow window;
    std::vector<unsigned char> payload;
    for (;;) {
        RequestHead head{};
        if (!readExactly(&head, sizeof head)) return 0;
        const auto op = static_cast<Op>(head.op);
        const bool null = (head.flags & nullPointer) != 0;
        if (op == Op::quit) return 0;
        if (head.payload > (op == Op::display ? maxBlock : maxRecord)) return 2;
        payload.resize(head.payload);
        if (head.payload > 0 && !readExactly(payload.data(), payload.size())) return 2;
        pumpMessages();
        void* data = null ? nullptr : payload.data();
        switch (op) {
            case Op::init: {
                const int32_t result = entry.init(static_cast<LumPluginInfo*>(data));
                if (!answer(result, payload.data(), head.payload)) return 2;
                break;
            }
            case Op::start:
                if (!answer(entry.start())) return 2;
                break;
            case Op::end:
                if (!answer(entry.end())) return 2;
                break;
            case Op::getBitmap:
                if (!answer(1, nullptr, 0, reinterpret_cast<uintptr_t>(entry.getBitmap()))) return 2;
                break;
            case Op::getParamInfo:
            case Op::setParamInfo: {
                auto* record = static_cast<LumParamInfo*>(data);
                const int32_t result =
                    op == Op::getParamInfo ? entry.getParamInfo(head.id, record) : entry.setParamInfo(head.id, record);
                if (!answer(result, payload.data(), head.payload)) return 2;
                break;
            }
            case Op::display: {
                if (head.width <= 0 || head.height <= 0 || head.width > maxWidth || head.height > maxHeight) return 2;
                bool fresh = false;
                if (!window.fit(head.width, head.height, fresh)) {
                    refuse("the bridge cannot make a window of " + std::to_string(head.width) + "x" + std::to_string(head.height) +
                           ": " + lastError());
                    return 2;
                }
                uint32_t* pixels = canvas.pixels(static_cast<size_t>(head.width) * static_cast<size_t>(head.height) * 4);
                if (pixels == nullptr) {
                    refuse("the bridge cannot map the shared canvas: " + lastError());
                    return 2;
                }
                if (fresh || (head.flags & canvasChanged) != 0) window.put(pixels);
                const int32_t result = entry.displaySoundData(window.handle(), data, head.id);
                window.take(pixels);
                if (!answer(result)) return 2;
                break;
            }
            default: return 2;
        }
    }
}

}  // namespace
}  // namespace lumbridge

int main() {
    using namespace lumbridge;
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    takeChannel();
    SetUnhandledExceptionFilter(reportFault);

    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (args == nullptr || count != 3) {
        refuse("usage: lumbridge MODULE CANVAS-FILE");
        return 2;
    }
    SharedCanvas canvas;
    if (!canvas.open(args[2])) {
        refuse("the bridge cannot open the shared canvas: " + lastError());
        return 2;
    }
    HMODULE module = LoadLibraryW(args[1]);
    if (module == nullptr) {
        refuse(lastError());
        return 2;
    }
    EntryPoints entry;
    std::string missing;
    find(module, "lumInit", entry.init, missing);
    find(module, "lumStart", entry.start, missing);
    find(module, "lumEnd", entry.end, missing);
    find(module, "lumGetBitmap", entry.getBitmap, missing);
    find(module, "lumGetParamInfo", entry.getParamInfo, missing);
    find(module, "lumSetParamInfo", entry.setParamInfo, missing);
    find(module, "lumDisplaySoundData", entry.displaySoundData, missing);
    if (!missing.empty()) {
        refuse("it lacks the entry point " + missing);
        return 2;
    }
    if (!answer(1)) return 2;
    const int status = serve(entry, canvas);
    FreeLibrary(module);
    return status;
}
