# Building a gauge module the same way in every build.
#
#   gauge_art(NAME SOURCE file.cpp OUTPUTS a.bmp b.wav ...)
#     Compiles a drawing program for the build machine (whatever the target) and runs it; the listed files land
#     in ${CMAKE_BINARY_DIR}/art/NAME. Sets NAME_ART_DIR and NAME_ART_FILES in the caller's scope.
#
#   gauge_module(NAME SOURCES ... RESOURCES file.rc [ART art-name] [LIBRARIES ...] [FIXTURE])
#     One module from the gauge's sources and the shared frame. Its resource script is compiled by windres: into
#     the DLL on Windows, and as .res bytes into an ELF note of the shared object on Linux. The module exports
#     Linkage and ImportTable and nothing else. Unless it is a test FIXTURE, the module joins the list of the
#     product's gauges (the global property GAUGE_MODULES), from which the bench, the tests and the scripts take
#     their names.
#
#   gauge_test(NAME SOURCES ... [LIBRARIES ...] [MODULES ...] [DEFINITIONS ...] [INCLUDES ...] [PREFIX p])
#     A GoogleTest program driving modules through the bench (bench_testing), built after the MODULES it loads,
#     its tests discovered one by one.

find_program(GAUGE_HOST_CXX NAMES c++ g++ REQUIRED)
find_program(GAUGE_WINDRES NAMES i686-w64-mingw32-windres windres REQUIRED)
set(GAUGE_STB_INCLUDE /usr/include/stb CACHE PATH "Folder holding stb_truetype.h and stb_image_write.h")
set(GAUGE_FONT_DIR /usr/share/fonts/truetype/liberation CACHE PATH "Folder holding the Liberation fonts")

function(gauge_art name)
    cmake_parse_arguments(ART "" "SOURCE" "OUTPUTS" ${ARGN})
    set(out_dir ${CMAKE_BINARY_DIR}/art/${name})
    set(tool ${CMAKE_BINARY_DIR}/art/draw-${name})
    set(art_lib ${PROJECT_SOURCE_DIR}/art/canvas.cpp ${PROJECT_SOURCE_DIR}/art/canvas.h)
    get_filename_component(source ${ART_SOURCE} ABSOLUTE)
    add_custom_command(
        OUTPUT ${tool}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}
        COMMAND ${GAUGE_HOST_CXX} -std=c++20 -O2 -Wall -I${GAUGE_STB_INCLUDE} -I${PROJECT_SOURCE_DIR}/art
                -DGAUGE_FONT_DIR="${GAUGE_FONT_DIR}" ${PROJECT_SOURCE_DIR}/art/canvas.cpp ${source} -o ${tool}
        DEPENDS ${source} ${art_lib}
        COMMENT "Compiling the ${name} drawing program"
        VERBATIM)
    set(outputs "")
    foreach(file ${ART_OUTPUTS})
        list(APPEND outputs ${out_dir}/${file})
    endforeach()
    add_custom_command(
        OUTPUT ${outputs}
        COMMAND ${tool} ${out_dir}
        DEPENDS ${tool}
        COMMENT "Drawing the ${name} artwork"
        VERBATIM)
    add_custom_target(art-${name} DEPENDS ${outputs})
    set(${name}_ART_DIR ${out_dir} PARENT_SCOPE)
    set(${name}_ART_FILES ${outputs} PARENT_SCOPE)
endfunction()

function(gauge_module name)
    cmake_parse_arguments(MOD "FIXTURE" "RESOURCES;ART" "SOURCES;LIBRARIES" ${ARGN})
    if(NOT MOD_FIXTURE)
        set_property(GLOBAL APPEND PROPERTY GAUGE_MODULES ${name})
    endif()
    get_filename_component(rc ${MOD_RESOURCES} ABSOLUTE)
    get_filename_component(rc_dir ${rc} DIRECTORY)
    set(art_dir "")
    set(art_files "")
    if(MOD_ART)
        set(art_dir -I ${${MOD_ART}_ART_DIR})
        set(art_files ${${MOD_ART}_ART_FILES})
    endif()

    add_library(${name} SHARED ${MOD_SOURCES} ${PROJECT_SOURCE_DIR}/frame/module_frame.cpp)
    set_target_properties(${name} PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
                                             LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/modules
                                             RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/modules)
    target_link_libraries(${name} PRIVATE gauge_frame ${MOD_LIBRARIES})
    target_compile_options(${name} PRIVATE -fno-exceptions -fno-rtti)

    if(WIN32)
        set(res_object ${CMAKE_CURRENT_BINARY_DIR}/${name}-resources.o)
        add_custom_command(
            OUTPUT ${res_object}
            COMMAND ${GAUGE_WINDRES} -I ${rc_dir} ${art_dir} -O coff -i ${rc} -o ${res_object}
            DEPENDS ${rc} ${art_files}
            COMMENT "Compiling the ${name} resources"
            VERBATIM)
        target_sources(${name} PRIVATE ${res_object} ${PROJECT_SOURCE_DIR}/frame/module.def)
        # A module copied into the simulator's gauge folder needs nothing beside it.
        target_link_options(${name} PRIVATE -static-libgcc -static-libstdc++)
        add_test(NAME ${name}_exports_exactly_two_data_names
                 COMMAND sh ${PROJECT_SOURCE_DIR}/frame/tests/check_exports.sh $<TARGET_FILE:${name}>)
        add_test(NAME ${name}_needs_no_runtime_dlls
                 COMMAND sh ${PROJECT_SOURCE_DIR}/frame/tests/check_imports.sh $<TARGET_FILE:${name}>)
    else()
        set(res_file ${CMAKE_CURRENT_BINARY_DIR}/${name}.res)
        add_custom_command(
            OUTPUT ${res_file}
            COMMAND ${GAUGE_WINDRES} -I ${rc_dir} ${art_dir} -O res -i ${rc} -o ${res_file}
            DEPENDS ${rc} ${art_files}
            COMMENT "Compiling the ${name} resources"
            VERBATIM)
        set(note_source ${CMAKE_CURRENT_BINARY_DIR}/${name}-resources.S)
        file(WRITE ${note_source}.in "#define GAUGE_RESOURCE_FILE \"${res_file}\"\n"
                                     "#include \"${PROJECT_SOURCE_DIR}/platform/resource_note.S\"\n")
        configure_file(${note_source}.in ${note_source} COPYONLY)
        set_source_files_properties(${note_source} PROPERTIES OBJECT_DEPENDS
                                    "${res_file};${PROJECT_SOURCE_DIR}/platform/resource_note.S")
        target_sources(${name} PRIVATE ${note_source} ${PROJECT_SOURCE_DIR}/platform/linux_entry.cpp)
        target_link_libraries(${name} PRIVATE win32_standin)
        target_link_options(${name} PRIVATE -Wl,--version-script=${PROJECT_SOURCE_DIR}/frame/module.map)
        set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/frame/module.map)
    endif()
endfunction()

#   gauge_resource_test(NAME EXPECTATION...)
#     In the Windows build: a test that reads the resources back out of the DLL and checks each expectation
#     (see frame/tests/check_resources.py for their form).
function(gauge_resource_test name)
    if(WIN32)
        find_program(GAUGE_PYTHON NAMES python3 REQUIRED)
        add_test(NAME ${name}_carries_its_resources
                 COMMAND ${GAUGE_PYTHON} ${PROJECT_SOURCE_DIR}/frame/tests/check_resources.py ${GAUGE_WINDRES}
                         $<TARGET_FILE:${name}> ${ARGN})
    endif()
endfunction()

function(gauge_test name)
    cmake_parse_arguments(TEST "" "PREFIX" "SOURCES;LIBRARIES;MODULES;DEFINITIONS;INCLUDES" ${ARGN})
    add_executable(${name} ${TEST_SOURCES})
    target_link_libraries(${name} PRIVATE bench_testing ${TEST_LIBRARIES})
    target_compile_definitions(${name} PRIVATE ${TEST_DEFINITIONS})
    target_include_directories(${name} PRIVATE ${TEST_INCLUDES})
    if(TEST_MODULES)
        add_dependencies(${name} ${TEST_MODULES})
    endif()
    set(prefix "")
    if(TEST_PREFIX)
        set(prefix TEST_PREFIX ${TEST_PREFIX})
    endif()
    gtest_discover_tests(${name} ${prefix} DISCOVERY_TIMEOUT 120 PROPERTIES TIMEOUT 300)
endfunction()
