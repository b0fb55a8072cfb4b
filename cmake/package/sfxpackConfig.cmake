# sfxpack's CMake package: the program as the imported target sfxpack::sfxpack, and two
# functions that build installers with it.
#
#   find_package(sfxpack 1.0 REQUIRED)
#
#   # A target (built by default) that packs a folder, rebuilt when a file in it changes:
#   sfxpack_add_installer(myapp_setup OUTPUT MyApp-Setup.exe FROM ${CMAKE_SOURCE_DIR}/dist
#                         RUN setup.exe PARAMS /S LEVEL 9)
#   # ... or an install component, staged with `cmake --install` once the project is built:
#   sfxpack_add_installer(myapp_setup OUTPUT MyApp-Setup.exe FROM runtime RUN bin/myapp.exe)
#
#   # `cpack` writes an installer of the whole install tree:
#   sfxpack_cpack(RUN bin/myapp.exe)
#   include(CPack)
#
# The installer options, for both: RUN program [PARAMS text] [X64|NATIVE] [LEVEL 1..9]
# [ICON file.ico] [VERSION_INFO KEY=VALUE...] [EXCLUDE glob...]; see `sfxpack create --help`.
# Without X64 or NATIVE the installer has the 32-bit Windows stub.
include(${CMAKE_CURRENT_LIST_DIR}/sfxpackTargets.cmake)

# The `sfxpack create` options for the keywords above in `out`, and the files they read in
# `out`_DEPENDS.
function(_sfxpack_create_options out)
  cmake_parse_arguments(PARSE_ARGV 1 S "X64;NATIVE" "RUN;PARAMS;LEVEL;ICON" "VERSION_INFO;EXCLUDE")
  if(S_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "sfxpack: unknown arguments: ${S_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT S_RUN)
    message(FATAL_ERROR "sfxpack: give the program the installer starts with RUN")
  endif()
  set(options --run ${S_RUN})
  if(S_PARAMS)
    list(APPEND options --params ${S_PARAMS})
  endif()
  if(S_X64 AND S_NATIVE)
    message(FATAL_ERROR "sfxpack: give X64 or NATIVE, not both")
  elseif(S_X64)
    list(APPEND options --x64)
  elseif(S_NATIVE)
    list(APPEND options --native)
  endif()
  if(S_LEVEL)
    if(NOT S_LEVEL MATCHES "^[1-9]$")
      message(FATAL_ERROR "sfxpack: LEVEL is 1 (fastest) to 9 (smallest), not ${S_LEVEL}")
    endif()
    list(APPEND options -${S_LEVEL})
  endif()
  set(depends "")
  if(S_ICON)
    get_filename_component(icon ${S_ICON} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    list(APPEND options --icon ${icon})
    list(APPEND depends ${icon})
  endif()
  foreach(value IN LISTS S_VERSION_INFO)
    list(APPEND options --version-info ${value})
  endforeach()
  foreach(pattern IN LISTS S_EXCLUDE)
    list(APPEND options --exclude ${pattern})
  endforeach()
  set(${out} ${options} PARENT_SCOPE)
  set(${out}_DEPENDS ${depends} PARENT_SCOPE)
endfunction()

# Makes `target` wait for every program and library of `dir` and the folders below it, which
# an install component may hold.
function(_sfxpack_depend_on_built target dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(candidate IN LISTS targets)
    get_target_property(type ${candidate} TYPE)
    get_target_property(excluded ${candidate} EXCLUDE_FROM_ALL)
    if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY)$" AND NOT excluded)
      add_dependencies(${target} ${candidate})
    endif()
  endforeach()
  get_property(folders DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(folder IN LISTS folders)
    _sfxpack_depend_on_built(${target} ${folder})
  endforeach()
endfunction()

# sfxpack_add_installer(NAME OUTPUT file FROM folder|component RUN program [options above])
# FROM names a folder (relative to the current source folder) when one is there, otherwise an
# install component.
function(sfxpack_add_installer name)
  cmake_parse_arguments(PARSE_ARGV 1 S "" "OUTPUT;FROM" "")
  if(NOT S_OUTPUT OR NOT S_FROM)
    message(FATAL_ERROR "sfxpack_add_installer(${name}): give OUTPUT and FROM")
  endif()
  _sfxpack_create_options(options ${S_UNPARSED_ARGUMENTS})
  get_filename_component(output ${S_OUTPUT} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_BINARY_DIR})
  get_filename_component(from ${S_FROM} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  set(create sfxpack::sfxpack create -o ${output} ${options})
  if(IS_DIRECTORY ${from})
    # Every file is a dependency; CONFIGURE_DEPENDS looks again for files that came or went.
    file(GLOB_RECURSE files CONFIGURE_DEPENDS LIST_DIRECTORIES false ${from}/*)
    add_custom_command(OUTPUT ${output} COMMAND ${create} ${from}
                       DEPENDS ${files} ${options_DEPENDS} $<TARGET_FILE:sfxpack::sfxpack>
                       COMMENT "Packing ${S_OUTPUT}" VERBATIM)
    add_custom_target(${name} ALL DEPENDS ${output})
  else()
    # What the component holds is known only once it is installed: staged afresh on every
    # build, after everything it could hold is built. Unchanged files give the same bytes.
    set(stage ${CMAKE_CURRENT_BINARY_DIR}/${name}.stage)
    add_custom_target(${name} ALL
                      COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
                      COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --config $<CONFIG>
                              --component ${S_FROM} --prefix ${stage}
                      COMMAND ${create} ${stage}
                      BYPRODUCTS ${output} COMMENT "Packing ${S_OUTPUT} from component ${S_FROM}" VERBATIM)
    # A deferred call reads its arguments when it runs: EVAL puts in the values of now.
    cmake_language(EVAL CODE "cmake_language(DEFER DIRECTORY [[${CMAKE_SOURCE_DIR}]]
                              CALL _sfxpack_depend_on_built [[${name}]] [[${CMAKE_SOURCE_DIR}]])")
  endif()
endfunction()

# sfxpack_cpack(RUN program [options above]): `cpack` (CPack's External generator, with the
# script beside this file) packs the staged install tree into
# CPACK_PACKAGE_FILE_NAME.exe (no suffix with NATIVE). Call it before include(CPack); it sets
# CPACK_VERBATIM_VARIABLES.
function(sfxpack_cpack)
  _sfxpack_create_options(options ${ARGN})
  get_target_property(executable sfxpack::sfxpack LOCATION)
  set(CPACK_GENERATOR External PARENT_SCOPE)
  set(CPACK_EXTERNAL_ENABLE_STAGING ON PARENT_SCOPE)
  set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/sfxpackCPack.cmake PARENT_SCOPE)
  set(CPACK_SFXPACK_EXECUTABLE ${executable} PARENT_SCOPE)
  set(CPACK_SFXPACK_OPTIONS "${options}" PARENT_SCOPE)
  # Written into CPackConfig.cmake as they are: "bin\setup.exe" keeps its backslash.
  set(CPACK_VERBATIM_VARIABLES ON PARENT_SCOPE)
endfunction()
