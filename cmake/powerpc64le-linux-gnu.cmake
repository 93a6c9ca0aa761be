# Cross build for little-endian 64-bit POWER Linux (Debian's ppc64el:
# unsigned char; no record fast path); programs run under qemu-user.
#
#   cmake --preset ppc64el
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/powerpc64le-linux-gnu.cmake ...

set(CMAKE_SYSTEM_PROCESSOR ppc64le)
set(VOSTREL_CROSS_TRIPLE powerpc64le-linux-gnu)
set(VOSTREL_CROSS_QEMU ppc64le)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
