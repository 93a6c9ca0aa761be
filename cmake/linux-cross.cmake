# What the Linux cross toolchain files share: the GNU cross compilers of
# VOSTREL_CROSS_TRIPLE, static linking (so qemu-user needs no target
# libraries), the target's libraries and headers only, and qemu-user for
# VOSTREL_CROSS_QEMU (a qemu target name) to run the test executables.
# Included by cmake/<triple>.cmake after it sets those two and
# CMAKE_SYSTEM_PROCESSOR.

set(CMAKE_SYSTEM_NAME Linux)

set(CMAKE_C_COMPILER ${VOSTREL_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${VOSTREL_CROSS_TRIPLE}-g++)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

set(CMAKE_FIND_ROOT_PATH /usr/${VOSTREL_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(VOSTREL_QEMU
             NAMES qemu-${VOSTREL_CROSS_QEMU} qemu-${VOSTREL_CROSS_QEMU}-static
             DOC "qemu-user, to run the cross-built test executables")
if(VOSTREL_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VOSTREL_QEMU})
endif()
