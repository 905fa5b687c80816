# The Windows DLL of the plug-in, included from host/CMakeLists.txt (which
# sets OSTREL_PLUGIN_SOURCES); nothing to do for other systems.
#
# The DLL imports nothing but KERNEL32.dll: it links no C runtime
# (-nostdlib), only the compiler's exception runtime (libsupc++, libgcc_eh,
# libgcc) and our own small runtime support in windows_runtime/. crtbegin.o
# and crtend.o bracket the unwind tables, so they come first and last.
if(NOT WIN32)
    return()
endif()

enable_language(RC)
add_subdirectory(${PROJECT_SOURCE_DIR}/windows_runtime ${PROJECT_BINARY_DIR}/windows_runtime)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(OSTREL_PLUGIN_FILE_NAME "OstrelStrata(64bit).aex")
else()
    set(OSTREL_PLUGIN_FILE_NAME "OstrelStrata.aex")
endif()

# The .def file pins the export: its name, ordinal 1, and the module name.
set(OSTREL_PLUGIN_DEF ${CMAKE_CURRENT_BINARY_DIR}/exports.def)
configure_file(${PROJECT_SOURCE_DIR}/resources/exports.def.in ${OSTREL_PLUGIN_DEF} @ONLY)

foreach(runtime_file crtbegin.o crtend.o)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime_file}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} has no ${runtime_file}")
    endif()
    string(REPLACE ".o" "" name ${runtime_file})
    set(OSTREL_${name} ${path})
endforeach()

add_library(ostrel_plugin MODULE
    ${OSTREL_PLUGIN_SOURCES}
    $<TARGET_OBJECTS:ostrel_engine>
    $<TARGET_OBJECTS:ostrel_windows_runtime>
    ${PROJECT_SOURCE_DIR}/resources/OstrelStrata.rc
    ${OSTREL_PLUGIN_DEF})
set_target_properties(ostrel_plugin PROPERTIES
    OUTPUT_NAME "${OSTREL_PLUGIN_FILE_NAME}"
    PREFIX ""
    SUFFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
# The resource compiler reads the manifest by its path from the source root.
set_property(SOURCE ${PROJECT_SOURCE_DIR}/resources/OstrelStrata.rc APPEND PROPERTY
             OBJECT_DEPENDS ${PROJECT_SOURCE_DIR}/resources/OstrelStrata.manifest
                            ${PROJECT_SOURCE_DIR}/host/effect_identity.h
                            ${PROJECT_SOURCE_DIR}/host/interface/interface_version.h)
target_link_options(ostrel_plugin PRIVATE -nostdlib ${OSTREL_crtbegin})
target_link_libraries(ostrel_plugin PRIVATE supc++ gcc_eh gcc kernel32 ${OSTREL_crtend})

# The Windows tests: the static checks of the DLL and, on x86-64, a test
# program run under wine64. GoogleTest is not built for Windows, so these
# builds leave OSTREL_BUILD_TESTS off and come here instead.
option(OSTREL_BUILD_WINDOWS_TESTS "Build the Windows tests (static checks, wine64 scenarios)" OFF)
if(OSTREL_BUILD_WINDOWS_TESTS)
    # Testing on here and below, and at the build's root, where ctest starts.
    enable_testing()
    cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL enable_testing)
    add_subdirectory(${PROJECT_SOURCE_DIR}/tests/windows ${PROJECT_BINARY_DIR}/tests/windows)
endif()
