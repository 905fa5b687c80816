# GoogleTest for the i386 build: Debian ships it only for the machine's own
# architecture, so the i386 preset points find_package(GTest) here and it is
# built from Debian's sources with the build's -m32 flags. Provides the
# targets that the packaged GTestConfig.cmake does.
set(OSTREL_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources (Debian: googletest)")
if(NOT EXISTS ${OSTREL_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
    set(GTest_FOUND FALSE)
    set(GTest_NOT_FOUND_MESSAGE "no GoogleTest sources in ${OSTREL_GOOGLETEST_SOURCE_DIR} (install googletest)")
    return()
endif()

if(NOT TARGET gtest)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(${OSTREL_GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

foreach(library gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${library})
        add_library(GTest::${library} ALIAS ${library})
    endif()
endforeach()
set(GTest_FOUND TRUE)
