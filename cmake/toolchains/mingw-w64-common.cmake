# Shared part of the mingw-w64 cross toolchains; the including file sets
# GYROTRAIL_MINGW_TRIPLET and CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)
# The POSIX thread model: its C++ library has std::mutex, which GoogleTest
# needs. The module uses no threads; its imports are checked by a test.
set(CMAKE_C_COMPILER ${GYROTRAIL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GYROTRAIL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${GYROTRAIL_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${GYROTRAIL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs and the module run under Wine; the wrapper keeps its own prefix in
# the build folder and starts a virtual display when none is set.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../../tests/win32/run-under-wine.sh)

# The compiler's own runtime linked in, so a bare Windows (or Wine) needs no
# extra DLL next to the module.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
