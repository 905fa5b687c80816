# 32-bit Windows (i386), for OstrelStrata.aex.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(OSTREL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
include(${CMAKE_CURRENT_LIST_DIR}/I386Settings.cmake)
set(CMAKE_C_FLAGS_INIT "${OSTREL_I386_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${OSTREL_I386_FLAGS}")
