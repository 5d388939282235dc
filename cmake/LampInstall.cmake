# Installation of the operator program. The three libraries, the artwork, the desktop entry and
# the icon are installed by their own folders; the program is installed here, once its target
# exists, with a run path that finds the libraries in ../lib beside bin/ wherever the tree is
# installed or moved to.
if(TARGET lamp)
  set_target_properties(lamp PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  target_link_options(lamp PRIVATE LINKER:--enable-new-dtags)
  install(TARGETS lamp RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
