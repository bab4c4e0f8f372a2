# Fuzz targets, built with clang's libFuzzer beside the sanitised x86-64 build.
#
#   gauge_fuzz_target(NAME SOURCES file.cpp... [INCLUDES dir...] [DEFINES NAME=VALUE...] [SEEDS file...]
#                     [DEPENDS target...] [SECONDS n])
#     When GAUGE_SANITIZE is on and clang++ here can link a libFuzzer program, compiles the sources (one of
#     them defines LLVMFuzzerTestOneInput; none may need the rest of the tree) with
#     clang++ -fsanitize=fuzzer,address,undefined into ${CMAKE_BINARY_DIR}/fuzz/NAME/NAME, built with
#     everything else, and adds the test NAME: a run of SECONDS (default 20) starting from the SEEDS files.
#     DEPENDS names targets that make the seeds. Inputs the fuzzer finds stay in .../fuzz/NAME/corpus for the
#     next run; a crashing input is written to .../fuzz/NAME/ and named in the test's output.
#     Anywhere else (the 32-bit and Windows builds, no clang) it adds nothing.

find_program(GAUGE_FUZZ_CXX NAMES clang++ clang++-14)

# Whether clang++ links a libFuzzer program with the sanitizers; probed once per build folder.
function(_gauge_fuzz_available out)
    if(NOT DEFINED CACHE{GAUGE_FUZZ_AVAILABLE})
        set(available OFF)
        if(GAUGE_FUZZ_CXX)
            set(probe ${CMAKE_BINARY_DIR}/fuzz/probe)
            file(WRITE ${probe}.cpp "#include <cstddef>\n#include <cstdint>\n"
                                    "extern \"C\" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }\n")
            execute_process(COMMAND ${GAUGE_FUZZ_CXX} -fsanitize=fuzzer,address,undefined ${probe}.cpp -o ${probe}
                            RESULT_VARIABLE probe_result OUTPUT_QUIET ERROR_QUIET)
            if(probe_result EQUAL 0)
                set(available ON)
            endif()
        endif()
        set(GAUGE_FUZZ_AVAILABLE ${available} CACHE INTERNAL "clang++ links libFuzzer programs")
        if(NOT available)
            message(STATUS "Fuzz targets left out: no clang++ that links -fsanitize=fuzzer")
        endif()
    endif()
    set(${out} ${GAUGE_FUZZ_AVAILABLE} PARENT_SCOPE)
endfunction()

function(gauge_fuzz_target name)
    cmake_parse_arguments(FUZZ "" "SECONDS" "SOURCES;INCLUDES;DEFINES;SEEDS;DEPENDS" ${ARGN})
    if(NOT GAUGE_SANITIZE OR WIN32 OR CMAKE_CROSSCOMPILING)
        return()
    endif()
    _gauge_fuzz_available(available)
    if(NOT available)
        return()
    endif()
    if(NOT FUZZ_SECONDS)
        set(FUZZ_SECONDS 20)
    endif()

    set(dir ${CMAKE_BINARY_DIR}/fuzz/${name})
    set(program ${dir}/${name})
    set(sanitizers -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
    set(flags -std=c++20 -g -O1 -fno-omit-frame-pointer ${sanitizers})
    foreach(include ${FUZZ_INCLUDES})
        get_filename_component(include ${include} ABSOLUTE)
        list(APPEND flags -I${include})
    endforeach()
    foreach(definition ${FUZZ_DEFINES})
        list(APPEND flags -D${definition})
    endforeach()

    # One object per source, each with its header dependencies, then the link.
    set(objects "")
    set(index 0)
    foreach(source ${FUZZ_SOURCES})
        get_filename_component(source ${source} ABSOLUTE)
        get_filename_component(stem ${source} NAME_WE)
        set(object ${dir}/${index}-${stem}.o)
        add_custom_command(
            OUTPUT ${object}
            COMMAND ${GAUGE_FUZZ_CXX} ${flags} -MD -MF ${object}.d -c ${source} -o ${object}
            DEPENDS ${source}
            DEPFILE ${object}.d
            COMMENT "Compiling ${stem} for the fuzz target ${name}"
            VERBATIM)
        list(APPEND objects ${object})
        math(EXPR index "${index} + 1")
    endforeach()
    add_custom_command(
        OUTPUT ${program}
        COMMAND ${GAUGE_FUZZ_CXX} ${sanitizers} ${objects} -o ${program}
        DEPENDS ${objects}
        COMMENT "Linking the fuzz target ${name}"
        VERBATIM)

    set(seeds ${dir}/seeds)
    set(stamp ${dir}/seeds.stamp)
    set(copy_seeds "")
    if(FUZZ_SEEDS)
        set(copy_seeds COMMAND ${CMAKE_COMMAND} -E copy ${FUZZ_SEEDS} ${seeds})
    endif()
    add_custom_command(
        OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${seeds}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${seeds} ${dir}/corpus
        ${copy_seeds}
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${FUZZ_SEEDS}
        COMMENT "Gathering the seeds of the fuzz target ${name}"
        VERBATIM)

    add_custom_target(${name} ALL DEPENDS ${program} ${stamp})
    if(FUZZ_DEPENDS)
        add_dependencies(${name} ${FUZZ_DEPENDS})
    endif()
    add_test(NAME ${name}
             COMMAND ${program} -max_total_time=${FUZZ_SECONDS} -timeout=10 -rss_limit_mb=2048
                     -print_final_stats=1 -artifact_prefix=${dir}/ ${dir}/corpus ${seeds}
             WORKING_DIRECTORY ${dir})
    math(EXPR limit "${FUZZ_SECONDS} + 120")
    set_tests_properties(${name} PROPERTIES TIMEOUT ${limit} LABELS fuzz)
endfunction()
