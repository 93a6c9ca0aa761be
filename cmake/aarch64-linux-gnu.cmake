# Cross build for ARM64 Linux (little-endian, unsigned char; no record fast
# path, so every record goes through the exact scans); programs run under
# qemu-user.
#
#   cmake --preset aarch64
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake ...

set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(VOSTREL_CROSS_TRIPLE aarch64-linux-gnu)
set(VOSTREL_CROSS_QEMU aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
