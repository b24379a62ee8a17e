# The Windows packages, both from the install rules' "programs" component:
# a zip (cpack -G ZIP in the build folder) and an installer, pelmdemo.msi
# (cmake --build BUILD, when wixl is installed), made with wixl and wixl-heat (Debian's
# wixl) from cmake/windows/pelmdemo.wxs.in.
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME pelmdemo)
set(CPACK_PACKAGE_VENDOR "pelm")
set(CPACK_SYSTEM_NAME win-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
set(CPACK_COMPONENTS_ALL programs development)
set(CPACK_STRIP_FILES OFF)
include(CPack)

find_program(WIXL wixl)
find_program(WIXL_HEAT wixl-heat)
if(WIXL AND WIXL_HEAT AND TARGET pelmdemo)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(msi_arch x64)
        set(win64 yes)
    else()
        set(msi_arch x86)
        set(win64 no)
    endif()
    # wixl finds files by paths relative to where it runs: the build folder.
    set(stage ${CMAKE_BINARY_DIR}/msi-stage)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/pelmdemo.wxs.in
                   ${CMAKE_BINARY_DIR}/pelmdemo.wxs @ONLY)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/pelmdemo.msi
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
        COMMAND ${CMAKE_COMMAND} --install ${CMAKE_BINARY_DIR} --component programs --prefix ${stage}
        COMMAND ${CMAKE_COMMAND} -DSTAGE=${stage} -DHEAT=${WIXL_HEAT} -DOUT=${CMAKE_BINARY_DIR}
                -P ${PROJECT_SOURCE_DIR}/cmake/windows/heat.cmake
        COMMAND ${WIXL} -a ${msi_arch} -D Win64=${win64} -D BinDir=msi-stage/bin -D ExamplesDir=msi-stage/examples -o ${CMAKE_BINARY_DIR}/pelmdemo.msi
                ${CMAKE_BINARY_DIR}/pelmdemo.wxs ${CMAKE_BINARY_DIR}/programs.wxs
                ${CMAKE_BINARY_DIR}/examples.wxs
        DEPENDS pelmdemo pelmprint pelm32 ${CMAKE_BINARY_DIR}/pelmdemo.wxs
        WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
        VERBATIM)
    # Built with the rest: the Windows smoke test installs it.
    add_custom_target(msi ALL DEPENDS ${CMAKE_BINARY_DIR}/pelmdemo.msi)
endif()
