# Installation of vostrel and its manual page, and the package that cpack
# builds from them: a Debian package, or for Windows a zip of vostrel.exe, the
# README and the manual page as HTML (vostrel-VERSION-win64.zip).
#
# Include it from the top-level CMakeLists.txt after project(vostrel VERSION ...)
# and after the `vostrel` executable target is defined:
#
#   include(cmake/packaging.cmake)

include(GNUInstallDirs)

if(WIN32)
  # Everything side by side in the zip's one folder: there is no man on
  # Windows, so the page goes as HTML, rendered by groff on the build host.
  find_program(VOSTREL_GROFF groff REQUIRED)
  mark_as_advanced(VOSTREL_GROFF)
  set(manual_html ${PROJECT_BINARY_DIR}/vostrel.html)
  add_custom_command(
    OUTPUT ${manual_html}
    COMMAND ${VOSTREL_GROFF} -man -Thtml ${PROJECT_SOURCE_DIR}/doc/vostrel.1
            > ${manual_html}
    DEPENDS ${PROJECT_SOURCE_DIR}/doc/vostrel.1
    COMMENT "Rendering the manual page as HTML")
  add_custom_target(vostrel_manual_html ALL DEPENDS ${manual_html})

  install(TARGETS vostrel RUNTIME DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${manual_html} DESTINATION .)
else()
  install(TARGETS vostrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/doc/vostrel.1
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_PACKAGE_NAME vostrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "vostrel maintainers")
set(CPACK_PACKAGE_CONTACT
    "Seed 3b3b0e29 maintainers <maintainers@users.noreply.c-seed-3b3b0e29.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "condense simulation model results into daily and monthly sums")
# Each line becomes a line of the extended description in debian/control.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "vostrel reads the results file of a simulation model, a header block\n"
  "followed by hourly or daily records of year, month, day, hour and one\n"
  "value per column, and writes a daily and a monthly file of per-column\n"
  "sums, with -9999 for incomplete days and months and a closing line of\n"
  "column totals.")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  # vostrel-VERSION-win64.zip, unpacking to the folder vostrel-VERSION-win64
  set(CPACK_SYSTEM_NAME win64)
else()
  set(CPACK_GENERATOR DEB)

  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  # name_version-release_architecture.deb
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)

  # Let dpkg-shlibdeps work out the library dependencies from the binary; on a
  # host without it, name the libraries a g++ 12 build links against.
  find_program(VOSTREL_DPKG_SHLIBDEPS dpkg-shlibdeps)
  mark_as_advanced(VOSTREL_DPKG_SHLIBDEPS)
  if(VOSTREL_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1 (>= 3.0)")
  endif()
endif()

include(CPack)
