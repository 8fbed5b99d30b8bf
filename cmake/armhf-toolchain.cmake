# 32-bit ARM (armhf) with Debian's cross toolchain and multiarch libraries
# (libgtest-dev:armhf, libreadline-dev:armhf, ...). The test programs run
# under qemu-user: ctest and the test discovery go through the emulator.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)
# Large-file interfaces: 32-bit readdir() on a 64-bit kernel fails with
# EOVERFLOW on directories whose entry offsets do not fit 32 bits (ext4
# hashes), which hides the sysfs and /dev entries discovery lists. The ABI
# notes on parameter passing (changed in GCC 7.1) concern objects built by
# old compilers; everything here is built by one.
set(CMAKE_C_FLAGS_INIT "-D_FILE_OFFSET_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-Wno-psabi -D_FILE_OFFSET_BITS=64")

# the armhf loader and libraries live in the multiarch directories of the
# host (libc6:armhf), so the emulator needs no separate root
find_program(RIL_QEMU_ARM NAMES qemu-arm qemu-arm-static REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${RIL_QEMU_ARM})

# programs of the build host, libraries and packages of the target only
set(CMAKE_FIND_ROOT_PATH / /usr/arm-linux-gnueabihf)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
