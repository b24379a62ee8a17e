# Fails when a file of the engine's core includes anything but the C++
# standard library (<vector>, <cstdint>: lower-case names without a dot or a
# folder), the portable text libraries (<hb.h>, <fribidi.h>) and the
# engine's portable headers ("pelm32/core/...", "pelm32/pdf/..."). Qt,
# Windows, POSIX and fontconfig headers all fail it.
# Usage: cmake -DDIR=pelm32/core -P check_core_includes.cmake
file(GLOB files ${DIR}/*.h ${DIR}/*.cpp)
set(failures "")
foreach(file ${files})
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include")
    foreach(line ${lines})
        if(line MATCHES "^[ \t]*#[ \t]*include[ \t]*<([a-z_]+|hb\\.h|fribidi\\.h)>")
            continue()
        endif()
        if(line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"pelm32/(core|pdf)/[a-z0-9_]+\\.h\"")
            continue()
        endif()
        string(APPEND failures "\n  ${file}: ${line}")
    endforeach()
endforeach()
if(failures)
    message(FATAL_ERROR "The engine's core may include only the C++ library and its own "
                        "portable headers; platform code belongs in posix/, win32/ or qt/:${failures}")
endif()
