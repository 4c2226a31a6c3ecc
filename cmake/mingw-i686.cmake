# The product: 32-bit Windows (PE32, i686).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(ORVEN_WINE_DEFAULT /usr/lib/wine/wine)
# SSE2, as every x86 processor that runs current Windows has, for floating
# point too (CMakeLists.txt adds -mfpmath=sse): doubles are computed as
# doubles, not in the x87 unit's extended precision.
set(CMAKE_CXX_FLAGS_INIT "-msse2")
set(CMAKE_C_FLAGS_INIT "-msse2")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
