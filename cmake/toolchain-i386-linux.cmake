# The 32-bit variant's code as i386 Linux programs: static, so that qemu-i386
# runs them on a 64-bit machine without a 32-bit C library at run time.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)

include(${CMAKE_CURRENT_LIST_DIR}/I386Settings.cmake)
set(CMAKE_C_FLAGS_INIT "-m32 ${OSTREL_I386_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "-m32 ${OSTREL_I386_FLAGS}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")

find_program(OSTREL_QEMU_I386 qemu-i386 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${OSTREL_QEMU_I386})

# Static programs cannot load the effect module: test programs link it in.
set(OSTREL_LINK_PLUGIN_INTO_TESTS ON)
