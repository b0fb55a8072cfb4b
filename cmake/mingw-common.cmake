# What the two MinGW-w64 cross builds share; the toolchain file that includes this sets
# CMAKE_SYSTEM_PROCESSOR and SFX_MINGW_TRIPLET (i686-w64-mingw32 or x86_64-w64-mingw32).
# The posix-threads flavour of the compiler: its C++ runtime has std::mutex, which the test
# framework needs; everything is linked statically, so no pthread DLL is imported (the stub
# links the win32-threads runtime where it is installed, app/CMakeLists.txt). The test
# programs run under Wine through ctest, with the loader for their word size.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${SFX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SFX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${SFX_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${SFX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Tests run under Wine, started once more if Wine itself fails to start them.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-test.sh)
