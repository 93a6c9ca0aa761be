# GoogleTest for the unit tests, providing GTest::gtest and GTest::gtest_main.
#
# A native build uses the installed GoogleTest. A cross build cannot link the
# host's libraries, nor can a build with another C++ library than the one
# the installed GoogleTest was built with (clang++ -stdlib=libc++ against
# Debian's libstdc++ one): these compile GoogleTest from its sources with the
# same compiler and flags (Debian's googletest package installs them).
#
# Include it from the top-level CMakeLists.txt in place of
# find_package(GTest REQUIRED), after the warning options are set. Without
# GoogleTest, configuring stops here and names the package to install: a build
# that asked for the tests never goes on without them.

option(VOSTREL_GTEST_FROM_SOURCE
       "Build GoogleTest from its sources with this build's compiler and flags"
       ${CMAKE_CROSSCOMPILING})
if(NOT VOSTREL_GTEST_FROM_SOURCE)
  find_package(GTest)
  if(NOT GTest_FOUND)
    message(FATAL_ERROR
            "GoogleTest not found; the tests need it. Install it "
            "(Debian, Ubuntu: apt-get install libgtest-dev; elsewhere the "
            "googletest package), or build the tool alone with the release "
            "preset or -DVOSTREL_TESTS=OFF.")
  endif()
  return()
endif()

set(VOSTREL_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest sources, for VOSTREL_GTEST_FROM_SOURCE")
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
