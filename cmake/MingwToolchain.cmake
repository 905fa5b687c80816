# Shared part of the two Windows toolchain files: Debian's mingw-w64 compilers
# with win32 threads (the plug-in links no threading library), and windres.
# The including file sets OSTREL_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${OSTREL_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${OSTREL_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${OSTREL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${OSTREL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
