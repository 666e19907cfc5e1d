# Cross-compiles for 64-bit ARM Linux with Debian's aarch64-linux-gnu
# compilers against an arm64 Debian tree (MIRL_AARCH64_SYSROOT, the one
# scripts/build-aarch64 makes); the test programs run under qemu-aarch64
# with that tree as the root of their libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

if(NOT MIRL_AARCH64_SYSROOT)
  get_filename_component(MIRL_AARCH64_SYSROOT ${CMAKE_CURRENT_LIST_DIR}/../../build-aarch64/sysroot
                         ABSOLUTE)
endif()
if(NOT EXISTS ${MIRL_AARCH64_SYSROOT}/usr/include)
  message(FATAL_ERROR "no arm64 tree at ${MIRL_AARCH64_SYSROOT}: scripts/build-aarch64 makes it")
endif()
# The checks CMake compiles for itself see the same tree.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MIRL_AARCH64_SYSROOT)
set(CMAKE_SYSROOT ${MIRL_AARCH64_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L ${MIRL_AARCH64_SYSROOT})
