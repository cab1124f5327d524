// The stack-protector runtime of the Windows module: the guard value that
// protected functions check and the handler of a failed check. Kept in the
// module so that it imports nothing beyond the system's own DLLs.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>

extern "C" {

// Given a per-process value when the module is loaded, before any protected
// function of the module can run.
uintptr_t __stack_chk_guard = static_cast<uintptr_t>(0x2F8A1C6Du);

[[noreturn]] void __stack_chk_fail(void) {
    // A stack frame has been overwritten: carrying on could only do harm.
    ::TerminateProcess(::GetCurrentProcess(), 0xC0000409u);  // STATUS_STACK_BUFFER_OVERRUN
    __builtin_unreachable();
}

__attribute__((no_stack_protector)) BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        LARGE_INTEGER counter{};
        ::QueryPerformanceCounter(&counter);
        uint64_t seed = static_cast<uint64_t>(counter.QuadPart);
        seed ^= static_cast<uint64_t>(::GetCurrentProcessId()) << 32;
        seed ^= static_cast<uint64_t>(::GetCurrentThreadId()) << 16;
        seed ^= reinterpret_cast<uintptr_t>(module) ^ reinterpret_cast<uintptr_t>(&counter);
        seed *= 0x9E3779B97F4A7C15ull;  // spread every input bit over the whole value
        const uintptr_t guard = static_cast<uintptr_t>(seed ^ (seed >> 32));
        if (guard != 0) __stack_chk_guard = guard;
    }
    return TRUE;
}

}  // extern "C"
