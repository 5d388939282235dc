# `make package`: one Debian package, lamp, with the program, its three libraries, the tools, the
# menu entry, icons, pictures and manual pages. Its dependencies come from the binaries
# (dpkg-shlibdeps) plus the font that draws the program's Korean texts.
set(LAMP_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/lamp)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lamp)
set(CPACK_PACKAGE_VENDOR "LAMP developers")
set(CPACK_PACKAGE_CONTACT "LAMP developers <lamp-dev@example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "operator panel for the Velora lamp controller")
# Debian limits the long description's lines to 80 columns.
string(JOIN "" CPACK_PACKAGE_DESCRIPTION
    "LAMP is the operator program of the Velora, a machine with four lamps, a\n"
    "fan and a thermistor driven by an AVR ATmega controller over an RS-232\n"
    "line. It switches the lamps and sets their levels, runs the automatic\n"
    "sequences, edits the controller's settings tables and upgrades its\n"
    "firmware (also from the command line, with velora-flash).\n"
    "\n"
    "The package also holds Comlane, the serial-port library, with its\n"
    "headers, a pkg-config file and a CMake package for other programs, and\n"
    "velora-sim, a simulated controller on a pseudo-terminal for training and\n"
    "testing.")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Hangul for the About window and the context menu (fonts-nanum: a third of fonts-noto-cjk's size).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-nanum")
# libcomlane.so.1 is for other programs too: a shlibs file and the ldconfig trigger.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/docs/debian/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)

# Debian wants a copyright file and a compressed changelog in the package's doc folder.
set(lamp_changelog ${CMAKE_BINARY_DIR}/package-doc/changelog.Debian.gz)
add_custom_command(OUTPUT ${lamp_changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/package-doc
  COMMAND sh -c "gzip -9n < '${CMAKE_SOURCE_DIR}/docs/debian/changelog' > '${lamp_changelog}'"
  DEPENDS ${CMAKE_SOURCE_DIR}/docs/debian/changelog
  VERBATIM)
add_custom_target(lamp_package_doc ALL DEPENDS ${lamp_changelog})
install(FILES ${CMAKE_SOURCE_DIR}/docs/debian/copyright ${lamp_changelog}
              ${CMAKE_SOURCE_DIR}/docs/manual.md
        DESTINATION ${LAMP_DOC_DIR})
# The manual's pictures, beside it as in the source tree.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/screens DESTINATION ${LAMP_DOC_DIR}
        FILES_MATCHING PATTERN "*.png")

include(CPack)

if(LAMP_PACKAGING)
  # The package's checks, run by `make test-package` after `make package` has built it.
  add_test(NAME package_contents_and_programs
           COMMAND ${CMAKE_SOURCE_DIR}/tests/package/check-package
                   ${CMAKE_BINARY_DIR}/package ${CMAKE_BINARY_DIR}/package-check)
  set_tests_properties(package_contents_and_programs PROPERTIES LABELS package TIMEOUT 900)
endif()
