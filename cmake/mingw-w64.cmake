# What the Windows cross toolchain files share: mingw-w64's GNU compilers of
# VOSTREL_MINGW_TRIPLE, static linking (the executables need no DLL beside
# them), the target's libraries and headers only, and wine to run the test
# executables. Included by cmake/mingw-w64-<cpu>.cmake after it sets
# VOSTREL_MINGW_TRIPLE and CMAKE_SYSTEM_PROCESSOR.

set(CMAKE_SYSTEM_NAME Windows)
# The posix thread model: its libstdc++ has the whole of <thread> and
# <mutex>, which the win32 model of GCC 12 lacks.
set(CMAKE_C_COMPILER ${VOSTREL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VOSTREL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VOSTREL_MINGW_TRIPLE}-windres)
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

set(CMAKE_FIND_ROOT_PATH /usr/${VOSTREL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# wine64 is often not on PATH (Debian keeps it with wine's libraries), so
# ask the package manager where it put it.
if(NOT VOSTREL_WINE)
  set(wine_hints)
  find_program(VOSTREL_DPKG_QUERY dpkg-query)
  if(VOSTREL_DPKG_QUERY)
    execute_process(COMMAND ${VOSTREL_DPKG_QUERY} -L wine64
                    OUTPUT_VARIABLE wine_files ERROR_QUIET)
    string(REGEX MATCHALL "[^\n]*/wine64(\n|$)" wine_files "${wine_files}")
    foreach(file IN LISTS wine_files)
      string(STRIP "${file}" file)
      get_filename_component(dir "${file}" DIRECTORY)
      list(APPEND wine_hints "${dir}")
    endforeach()
  endif()
  find_program(VOSTREL_WINE NAMES wine64 wine HINTS ${wine_hints}
               DOC "wine, to run the Windows test executables")
endif()
if(VOSTREL_WINE)
  # No debug chatter, no prompts to install Mono or Gecko, and a prefix of
  # its own in the build tree rather than the user's ~/.wine.
  set(CMAKE_CROSSCOMPILING_EMULATOR
      env WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
      WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix ${VOSTREL_WINE})
endif()
