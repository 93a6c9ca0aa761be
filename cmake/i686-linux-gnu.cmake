# Cross build for 32-bit x86 Linux (Debian's i386: 32-bit size_t and long;
# the build asks for SSE2 arithmetic in place of the x87's, see
# CMakeLists.txt; no record fast path); programs run under qemu-user.
#
#   cmake --preset i386
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/i686-linux-gnu.cmake ...

set(CMAKE_SYSTEM_PROCESSOR i686)
set(VOSTREL_CROSS_TRIPLE i686-linux-gnu)
set(VOSTREL_CROSS_QEMU i386)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
