# Cross build for 64-bit Windows with Debian's MinGW-w64 (x86-64), statically linked: the x64
# stub for systems without 32-bit support, and the Windows tests on machines that run only
# 64-bit code (under Wine's 64-bit loader, see scripts/wine-run.sh).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(SFX_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
