# Cross build for 32-bit Windows with Debian's MinGW-w64 (i686), statically linked: the stub
# as shipped.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(SFX_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
