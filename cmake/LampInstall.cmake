# Where the installed programs find the libraries they load at run time. lamp/app installs `lamp`
# to bin/ and each library installs itself to lib/; the run path $ORIGIN/../lib lets the loader's
# search find them beside bin/, wherever the tree is installed or moved to. velora-flash links
# libcomlane.so.1 and finds it the same way. Installed into the system's own library folder (the
# package's /usr/lib/<triplet>), the loader finds them without a run path, and Debian's rules
# forbid one.
list(FIND CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES "${CMAKE_INSTALL_FULL_LIBDIR}" lamp_system_libdir)
set(lamp_programs velora-flash)
if(LAMP_QT)
  list(APPEND lamp_programs lamp)
endif()
foreach(program ${lamp_programs})
  if(lamp_system_libdir EQUAL -1)
    set_target_properties(${program} PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
    target_link_options(${program} PRIVATE LINKER:--enable-new-dtags)
  endif()
endforeach()

install(TARGETS velora-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
