# Cross build for big-endian Linux on s390x; programs run under qemu-user.
#
#   cmake --preset s390x
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/s390x-linux-gnu.cmake ...

set(CMAKE_SYSTEM_PROCESSOR s390x)
set(VOSTREL_CROSS_TRIPLE s390x-linux-gnu)
set(VOSTREL_CROSS_QEMU s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
