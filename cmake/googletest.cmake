# GoogleTest for the unit tests, providing GTest::gtest and GTest::gtest_main.
#
# A native build uses the installed GoogleTest. A cross build cannot link the
# host's libraries, so it compiles GoogleTest from its sources with the same
# toolchain (Debian's googletest package installs them).
#
# Include it from the top-level CMakeLists.txt in place of
# find_package(GTest REQUIRED), after the warning options are set.

if(NOT CMAKE_CROSSCOMPILING)
  find_package(GTest REQUIRED)
  return()
endif()

set(VOSTREL_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest sources to build the cross-compiled unit tests with")
if(NOT EXISTS ${VOSTREL_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR
          "No GoogleTest sources in VOSTREL_GTEST_SOURCE_DIR "
          "(${VOSTREL_GTEST_SOURCE_DIR}); Debian: apt-get install googletest")
endif()

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${VOSTREL_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest
                 EXCLUDE_FROM_ALL SYSTEM)
# GoogleTest's own code is built with its own flags, not with our warnings
# as errors, which its targets took over from this directory.
set_target_properties(gtest gtest_main PROPERTIES COMPILE_OPTIONS "")
if(NOT TARGET GTest::gtest_main)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()
