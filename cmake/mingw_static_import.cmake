# A static library that scripts/windows-deps.sh built with mingw-w64, as an
# imported target. Only the folders in CMAKE_PREFIX_PATH (the ones the script
# printed) are searched: neither the host's libraries nor the mingw-w64 root
# may stand in for it. Headers lie in include/<name>/ there.
function(mingw_static_import target name header library)
    string(TOUPPER ${name} var)
    find_path(${var}_INCLUDE_DIR ${header}
        PATHS ${CMAKE_PREFIX_PATH} PATH_SUFFIXES include/${name}
        NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    find_library(${var}_LIBRARY ${library}
        PATHS ${CMAKE_PREFIX_PATH} PATH_SUFFIXES lib
        NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    if(NOT ${var}_INCLUDE_DIR OR NOT ${var}_LIBRARY)
        message(FATAL_ERROR "No mingw-w64 build of ${name} in CMAKE_PREFIX_PATH "
            "(${CMAKE_PREFIX_PATH}): scripts/windows-deps.sh makes it and prints its folder.")
    endif()
    add_library(${target} STATIC IMPORTED GLOBAL)
    set_target_properties(${target} PROPERTIES
        IMPORTED_LOCATION ${${var}_LIBRARY}
        INTERFACE_INCLUDE_DIRECTORIES ${${var}_INCLUDE_DIR})
    message(STATUS "${target}: ${${var}_LIBRARY}")
endfunction()
