# Header-only libraries from Debian, for every build. Each is offered through a folder of its own that holds only
# that library, so that a cross toolchain (mingw) sees nothing else of the build machine's /usr/include.
#
#   gauge_header_library(TARGET HEADER_DIR...)  an INTERFACE target whose include folder links to those dirs

set(GAUGE_THIRD_PARTY_INCLUDE ${CMAKE_BINARY_DIR}/third-party/include)

function(gauge_header_library target)
    foreach(dir ${ARGN})
        if(NOT EXISTS ${dir})
            message(FATAL_ERROR "${target}: ${dir} is missing; scripts/setup installs it")
        endif()
        get_filename_component(name ${dir} NAME)
        file(MAKE_DIRECTORY ${GAUGE_THIRD_PARTY_INCLUDE}/${target})
        file(CREATE_LINK ${dir} ${GAUGE_THIRD_PARTY_INCLUDE}/${target}/${name} SYMBOLIC)
    endforeach()
    add_library(${target} INTERFACE)
    target_include_directories(${target} SYSTEM INTERFACE ${GAUGE_THIRD_PARTY_INCLUDE}/${target})
endfunction()

gauge_header_library(nlohmann_json_headers /usr/include/nlohmann)
gauge_header_library(cli11_headers /usr/include/CLI)
gauge_header_library(tomlplusplus_headers /usr/include/toml++)
