# 64-bit Windows (x86-64), for OstrelStrata(64bit).aex.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(OSTREL_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
