# Cross build for 64-bit RISC-V Linux (Debian's riscv64: unsigned char; no
# record fast path); programs run under qemu-user.
#
#   cmake --preset riscv64
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/riscv64-linux-gnu.cmake ...

set(CMAKE_SYSTEM_PROCESSOR riscv64)
set(VOSTREL_CROSS_TRIPLE riscv64-linux-gnu)
set(VOSTREL_CROSS_QEMU riscv64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
