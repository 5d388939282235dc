# Where the installed program finds the libraries it loads at run time. lamp/app installs `lamp`
# to bin/ and each library installs itself to lib/; the program's run path $ORIGIN/../lib lets the
# loader's search find them beside bin/, wherever the tree is installed or moved to.
# velora-flash links libcomlane.so and finds it the same way.
foreach(program lamp velora-flash)
  if(TARGET ${program})
    set_target_properties(${program} PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
    target_link_options(${program} PRIVATE LINKER:--enable-new-dtags)
  endif()
endforeach()
