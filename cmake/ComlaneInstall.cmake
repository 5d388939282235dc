# Comlane for other programs: the library with its versioned name and the plain link the program
# loads, the headers (with the message-target interface they include), a pkg-config file
# `comlane.pc` and a CMake package, so that `find_package(Comlane)` gives the target
# Comlane::comlane.
include(CMakePackageConfigHelpers)

set(COMLANE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Comlane)

install(TARGETS comlane wndmsg EXPORT ComlaneTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/comlane/include/comlane
                  ${CMAKE_SOURCE_DIR}/wndmsg/include/wndmsg
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT ComlaneTargets NAMESPACE Comlane:: DESTINATION ${COMLANE_CMAKE_DIR})

configure_package_config_file(${CMAKE_SOURCE_DIR}/comlane/cmake/ComlaneConfig.cmake.in
  ${CMAKE_BINARY_DIR}/comlane/ComlaneConfig.cmake
  INSTALL_DESTINATION ${COMLANE_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/comlane/ComlaneConfigVersion.cmake
  VERSION ${COMLANE_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/comlane/ComlaneConfig.cmake
              ${CMAKE_BINARY_DIR}/comlane/ComlaneConfigVersion.cmake
        DESTINATION ${COMLANE_CMAKE_DIR})

# pkg-config: paths relative to the prefix the file is installed under, so a moved tree works.
file(RELATIVE_PATH COMLANE_PC_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig
     ${CMAKE_INSTALL_PREFIX})
configure_file(${CMAKE_SOURCE_DIR}/comlane/cmake/comlane.pc.in
               ${CMAKE_BINARY_DIR}/comlane/comlane.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/comlane/comlane.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
