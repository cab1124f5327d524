# 32-bit Windows (PE32) with the mingw-w64 i686 cross compiler.
set(GYROTRAIL_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
