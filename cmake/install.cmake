# Installing sfxpack with every stub it can use, its documentation and its CMake package, and
# packaging it: a .deb on Linux, a .zip on Windows. sfxpack finds installed stubs in ../share/sfxpack/ beside its
# bin folder (Linux) or beside itself (Windows, where everything goes into one folder).
#
#   cmake --install build/native --prefix DIR        cd build/native && cpack   (sfxpack_*.deb)
#   cmake --install build/win64 --prefix DIR         cd build/win64 && cpack    (sfxpack-*.zip)
#
# The Windows stubs come from the win32 and win64 builds beside this one, where they are built
# (SFXPACK_BUILD_STUB, SFXPACK_BUILD_STUB64); one that is missing is left out.
if(WIN32)
  set(SFX_INSTALL_BIN .)
  set(SFX_INSTALL_STUBS .)
  set(SFX_INSTALL_DOCS .)
else()
  include(GNUInstallDirs)
  set(SFX_INSTALL_BIN ${CMAKE_INSTALL_BINDIR})
  set(SFX_INSTALL_STUBS ${CMAKE_INSTALL_DATADIR}/sfxpack)
  set(SFX_INSTALL_DOCS ${CMAKE_INSTALL_DATADIR}/doc/sfxpack)
endif()

install(TARGETS sfxpack EXPORT sfxpackTargets RUNTIME DESTINATION ${SFX_INSTALL_BIN})
# The stubs are copied as built: their offset digits give their exact size, so nothing may
# strip or relink them on the way.
install(PROGRAMS $<TARGET_FILE:sfxstub> DESTINATION ${SFX_INSTALL_STUBS})
if(NOT WIN32 OR CMAKE_SIZEOF_VOID_P EQUAL 8)
  install(PROGRAMS ${SFXPACK_BUILD_STUB} DESTINATION ${SFX_INSTALL_STUBS} OPTIONAL)
endif()
if(NOT WIN32 OR CMAKE_SIZEOF_VOID_P EQUAL 4)
  install(PROGRAMS ${SFXPACK_BUILD_STUB64} DESTINATION ${SFX_INSTALL_STUBS} OPTIONAL)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/docs/sfxpack.md
        DESTINATION ${SFX_INSTALL_DOCS})

# The CMake package, for projects that build their installers with sfxpack:
# find_package(sfxpack) gives sfxpack::sfxpack, sfxpack_add_installer() and sfxpack_cpack()
# (cmake/package/sfxpackConfig.cmake). The version check ignores the word size: sfxpack runs on
# the build machine, whatever the project builds for.
include(CMakePackageConfigHelpers)
set(SFX_INSTALL_PACKAGE lib/cmake/sfxpack)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/sfxpackConfigVersion.cmake VERSION ${SFXPACK_VERSION}
                                 COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(EXPORT sfxpackTargets NAMESPACE sfxpack:: DESTINATION ${SFX_INSTALL_PACKAGE})
install(FILES ${CMAKE_SOURCE_DIR}/cmake/package/sfxpackConfig.cmake ${CMAKE_SOURCE_DIR}/cmake/package/sfxpackCPack.cmake
              ${CMAKE_BINARY_DIR}/sfxpackConfigVersion.cmake
        DESTINATION ${SFX_INSTALL_PACKAGE})

set(CPACK_PACKAGE_NAME sfxpack)
set(CPACK_PACKAGE_VERSION ${SFXPACK_VERSION})
set(CPACK_PACKAGE_VENDOR "sfxstub")
set(CPACK_PACKAGE_CONTACT "sfxstub developers <sfxstub@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Builds self-extracting installers for Windows (and Linux)")
set(CPACK_STRIP_FILES OFF)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION devel)
  find_program(SFX_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(SFX_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
  endif()
endif()
include(CPack)
