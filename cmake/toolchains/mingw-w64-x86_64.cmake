# 64-bit Windows (PE32+) with the mingw-w64 x86-64 cross compiler: the same
# module and tests for machines whose Wine can run only 64-bit programs.
set(GYROTRAIL_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
