# Installation of vostrel, its manual page and its licence, and the package
# that cpack builds from them: a Debian package (the page gzipped, the licence
# as a machine-readable copyright file, a Debian changelog), or for Windows a
# zip of vostrel.exe, the manual page as HTML, the example input, the licence
# and a README for Windows users (vostrel-VERSION-win64.zip). cpack writes the
# package to the pkg directory of the build tree.
#
# Include it from the top-level CMakeLists.txt after project(vostrel VERSION ...)
# and after the `vostrel` executable target is defined:
#
#   include(cmake/packaging.cmake)

include(GNUInstallDirs)

# The manual page's footer and the changelog's latest entry carry the version
# as text; a version bump must update them too.
function(vostrel_check_version file regex expected)
  file(STRINGS ${file} line REGEX "${regex}" LIMIT_COUNT 1)
  string(REGEX MATCH "${regex}" found "${line}")
  if(NOT CMAKE_MATCH_1 STREQUAL expected)
    message(FATAL_ERROR "${file} names version '${CMAKE_MATCH_1}', the project is "
                        "${expected}: update the file")
  endif()
endfunction()
vostrel_check_version(${PROJECT_SOURCE_DIR}/doc/vostrel.1
                      "^\\.TH .* \"vostrel ([^\"]*)\"" ${PROJECT_VERSION})
# Configure again when a file read here changes.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/doc/vostrel.1 ${PROJECT_SOURCE_DIR}/LICENSE
             ${PROJECT_SOURCE_DIR}/cmake/debian-changelog)

if(WIN32)
  # Everything side by side in the zip's one folder: there is no man on
  # Windows, so the page goes as HTML, rendered by groff on the build host.
  # Building the tool alone needs no groff; making the zip does.
  find_program(VOSTREL_GROFF groff)
  mark_as_advanced(VOSTREL_GROFF)
  set(manual_html ${PROJECT_BINARY_DIR}/vostrel.html)
  if(VOSTREL_GROFF)
    add_custom_command(
      OUTPUT ${manual_html}
      COMMAND ${VOSTREL_GROFF} -man -Thtml ${PROJECT_SOURCE_DIR}/doc/vostrel.1
              > ${manual_html}
      DEPENDS ${PROJECT_SOURCE_DIR}/doc/vostrel.1
      COMMENT "Rendering the manual page as HTML")
    add_custom_target(vostrel_manual_html ALL DEPENDS ${manual_html})
  else()
    install(CODE [[message(FATAL_ERROR
      "vostrel.html needs groff: install groff, then configure again")]])
  endif()
  # Text for Notepad: CR LF line ends.
  configure_file(${PROJECT_SOURCE_DIR}/doc/windows-readme.txt
                 ${PROJECT_BINARY_DIR}/README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE
                 ${PROJECT_BINARY_DIR}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)

  install(TARGETS vostrel RUNTIME DESTINATION .)
  install(FILES ${manual_html} ${PROJECT_BINARY_DIR}/README.txt
                ${PROJECT_BINARY_DIR}/LICENSE.txt
                ${PROJECT_SOURCE_DIR}/examples/hourly.out
          DESTINATION .)
else()
  # A native package: the Debian packaging is part of vostrel's own source,
  # so the package's version is vostrel's and its changelog is changelog.gz.
  vostrel_check_version(${PROJECT_SOURCE_DIR}/cmake/debian-changelog
                        "^vostrel \\(([^)]*)\\)" ${PROJECT_VERSION})

  # The licence in Debian's machine-readable copyright format: the MIT
  # licence is "Expat" there, its text indented, an empty line as " .".
  file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE copyright_line
       REGEX "^Copyright \\(c\\) " LIMIT_COUNT 1)
  string(REGEX REPLACE "^Copyright \\(c\\) " "" copyright_line
         "${copyright_line}")
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
  string(REGEX REPLACE "^.*\n\nPermission" "Permission" licence "${licence}")
  string(REGEX REPLACE "\n+$" "" licence "${licence}")
  string(REPLACE "\n\n" "\n.\n" licence "${licence}")
  string(REPLACE "\n" "\n " licence "${licence}")
  file(WRITE ${PROJECT_BINARY_DIR}/copyright
       "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
       "Upstream-Name: vostrel\n"
       "\n"
       "Files: *\n"
       "Copyright: ${copyright_line}\n"
       "License: Expat\n"
       " ${licence}\n")

  # Debian policy: manual pages and changelogs gzipped at the highest level,
  # without a time stamp, so that the package is the same on every build.
  find_program(VOSTREL_GZIP gzip REQUIRED)
  mark_as_advanced(VOSTREL_GZIP)
  set(manual_gz ${PROJECT_BINARY_DIR}/vostrel.1.gz)
  set(changelog_gz ${PROJECT_BINARY_DIR}/changelog.gz)
  add_custom_command(
    OUTPUT ${manual_gz}
    COMMAND ${VOSTREL_GZIP} -9nc ${PROJECT_SOURCE_DIR}/doc/vostrel.1 > ${manual_gz}
    DEPENDS ${PROJECT_SOURCE_DIR}/doc/vostrel.1
    COMMENT "Compressing the manual page")
  add_custom_command(
    OUTPUT ${changelog_gz}
    COMMAND ${VOSTREL_GZIP} -9nc ${PROJECT_SOURCE_DIR}/cmake/debian-changelog
            > ${changelog_gz}
    DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian-changelog
    COMMENT "Compressing the Debian changelog")
  add_custom_target(vostrel_docs ALL DEPENDS ${manual_gz} ${changelog_gz})

  install(TARGETS vostrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${manual_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_BINARY_DIR}/copyright ${changelog_gz}
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
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
  "vostrel is for people who run hydrological, crop or climate models and\n"
  "need per-day and per-month totals of every output column.\n"
  "It reads the results file of a simulation model, a header block\n"
  "followed by hourly or daily records of year, month, day, hour and one\n"
  "value per column, and writes a daily and a monthly file of per-column\n"
  "sums, with -9999 for incomplete days and months and a closing line of\n"
  "column totals.")
set(CPACK_STRIP_FILES ON)
# Under the build tree, never the directory cpack is run from.
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/pkg)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  # vostrel-VERSION-win64.zip, unpacking to the folder vostrel-VERSION-win64
  # (win32 for a 32-bit build)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(CPACK_SYSTEM_NAME win32)
  else()
    set(CPACK_SYSTEM_NAME win64)
  endif()
else()
  set(CPACK_GENERATOR DEB)

  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # name_version_architecture.deb
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
