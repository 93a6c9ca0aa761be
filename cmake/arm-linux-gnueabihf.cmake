# Cross build for 32-bit ARM Linux with hardware floating point (Debian's
# armhf, as on a Raspberry Pi: 32-bit size_t and long, unsigned char; no
# record fast path); programs run under qemu-user.
#
#   cmake --preset armhf
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/arm-linux-gnueabihf.cmake ...

set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(VOSTREL_CROSS_TRIPLE arm-linux-gnueabihf)
set(VOSTREL_CROSS_QEMU arm)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
