# Cross build for 32-bit Windows: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
# Running its tests under Wine needs the 32-bit Wine (wine32).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
