# CPack's External generator runs this once the install tree is staged: sfxpack packs it into
# an installer, which CPack then copies to the build folder. The variables come from
# sfxpack_cpack() by way of CPackConfig.cmake.
set(suffix .exe)
if("--native" IN_LIST CPACK_SFXPACK_OPTIONS)
  set(suffix "")
endif()
# Beside the staged tree, which has the package's own name.
set(package ${CPACK_TOPLEVEL_DIRECTORY}/installer/${CPACK_PACKAGE_FILE_NAME}${suffix})
file(MAKE_DIRECTORY ${CPACK_TOPLEVEL_DIRECTORY}/installer)
execute_process(COMMAND ${CPACK_SFXPACK_EXECUTABLE} create -o ${package} ${CPACK_SFXPACK_OPTIONS}
                        ${CPACK_TEMPORARY_DIRECTORY}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "sfxpack create failed (${result}) for ${package}")
endif()
set(CPACK_EXTERNAL_BUILT_PACKAGES ${package})
