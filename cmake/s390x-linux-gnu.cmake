# Cross build for big-endian Linux on s390x; programs run under qemu-user.
#
#   cmake --preset s390x
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/s390x-linux-gnu.cmake ...
#
# The executables are linked statically, so qemu needs no s390x libraries.

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR s390x)

set(VOSTREL_S390X_TRIPLE s390x-linux-gnu)
set(CMAKE_C_COMPILER ${VOSTREL_S390X_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${VOSTREL_S390X_TRIPLE}-g++)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

set(CMAKE_FIND_ROOT_PATH /usr/${VOSTREL_S390X_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(VOSTREL_QEMU NAMES qemu-s390x qemu-s390x-static
             DOC "qemu-user, to run the s390x test executables")
if(VOSTREL_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VOSTREL_QEMU})
endif()
