# Installation and packages: on the portable build the tool, libcellsift.so with its SONAME,
# the header, cellsift.pc and the man page, as a .deb; on Windows i686 the DLL as a .zip.
include(GNUInstallDirs)

set_target_properties(cellsift PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})

if(WIN32)
  # A host loads the DLL by path; an import library would serve no one, so only the file.
  install(FILES $<TARGET_FILE:cellsift> DESTINATION .)
  install(FILES include/cellsift.h DESTINATION include)
  install(FILES doc/README-windows.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win32)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  install(TARGETS cellsift LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(FILES include/cellsift.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  if(TARGET cellsift_tool)
    # The tool finds the library beside it in the installed tree, wherever the prefix is.
    file(RELATIVE_PATH cellsift_bin_to_lib
         ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR})
    set_target_properties(cellsift_tool PROPERTIES INSTALL_RPATH "$ORIGIN/${cellsift_bin_to_lib}")
    install(TARGETS cellsift_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    configure_file(tools/cellsift.1 ${CMAKE_BINARY_DIR}/cellsift.1 @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/cellsift.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()

  # cellsift.pc locates its prefix from its own folder, so `cmake --install --prefix` works.
  file(RELATIVE_PATH cellsift_pc_to_prefix
       ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
  string(REGEX REPLACE "/$" "" cellsift_pc_to_prefix "${cellsift_pc_to_prefix}")
  configure_file(cmake/cellsift.pc.in ${CMAKE_BINARY_DIR}/cellsift.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/cellsift.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION text)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "cellsift developers <cellsift@localhost>")
endif()

set(CPACK_PACKAGE_NAME cellsift)
set(CPACK_PACKAGE_VENDOR "cellsift developers")
set(CPACK_PACKAGE_CONTACT "cellsift developers <cellsift@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
include(CPack)
