# Where the installed program finds the libraries it loads at run time. lamp/app installs `lamp`
# to bin/ and each library installs itself to lib/; the program's run path $ORIGIN/../lib lets the
# loader's search find them beside bin/, wherever the tree is installed or moved to.
if(TARGET lamp)
  set_target_properties(lamp PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  target_link_options(lamp PRIVATE LINKER:--enable-new-dtags)
endif()
