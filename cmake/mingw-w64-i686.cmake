# Cross build for 32-bit Windows (x86) with mingw-w64, for the machines
# that run no 64-bit Windows; the build asks for SSE2 arithmetic in place of
# the x87's (see CMakeLists.txt). Programs would run under wine, which needs
# its 32-bit half for them.
#
#   cmake --preset windows32
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake ...

set(CMAKE_SYSTEM_PROCESSOR x86)
set(VOSTREL_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
