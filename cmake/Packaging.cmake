# Installation and packages: on the portable build the tool, libcellsift.so with its SONAME,
# the header, cellsift.pc, the man page and the Python module, as three .deb packages; on
# Windows i686 the DLL as a .zip.
# Debian keeps libraries in the multiarch folder under any prefix; the system's linker and
# pkg-config look there.
if(NOT WIN32 AND CMAKE_LIBRARY_ARCHITECTURE AND NOT DEFINED CACHE{CMAKE_INSTALL_LIBDIR})
  set(CMAKE_INSTALL_LIBDIR "lib/${CMAKE_LIBRARY_ARCHITECTURE}" CACHE PATH "Object code libraries")
endif()
include(GNUInstallDirs)
set(cellsift_contact "cellsift developers <cellsift@users.noreply.invalid>")

set_target_properties(cellsift PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})

if(WIN32)
  # A host loads the DLL by path; an import library would serve no one, so only the file,
  # the one the tests of the shipped file check.
  install(FILES ${CELLSIFT_SHIPPED_LIBRARY} DESTINATION .)
  install(FILES include/cellsift.h DESTINATION include)
  install(FILES doc/README-windows.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_SYSTEM_NAME win32)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  # Two packages, as Debian splits a library: the runtime (tool, library by its SONAME, man
  # page) and the development files (header, .so link, pkg-config data).
  install(TARGETS cellsift LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
          COMPONENT runtime NAMELINK_COMPONENT dev)
  install(FILES include/cellsift.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
  if(TARGET cellsift_tool)
    # The tool finds the library through its RPATH wherever the prefix is.
    file(RELATIVE_PATH cellsift_bin_to_lib
         ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR})
    set_target_properties(cellsift_tool PROPERTIES INSTALL_RPATH "$ORIGIN/${cellsift_bin_to_lib}")
    install(TARGETS cellsift_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
    configure_file(tools/cellsift.1 ${CMAKE_BINARY_DIR}/cellsift.1 @ONLY)
    # -n keeps the name and time out of the archive, so the same page gives the same bytes.
    execute_process(COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/cellsift.1 -c
                    OUTPUT_FILE ${CMAKE_BINARY_DIR}/cellsift.1.gz RESULT_VARIABLE cellsift_gzip_rc)
    if(NOT cellsift_gzip_rc EQUAL 0)
      message(FATAL_ERROR "gzip of the man page failed")
    endif()
    install(FILES ${CMAKE_BINARY_DIR}/cellsift.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
            COMPONENT runtime)
    # The search engine's filter set-up that tools/README.md describes, ready to copy.
    install(FILES examples/recoll/mimeconf DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/cellsift/examples/recoll
            COMPONENT runtime)
  endif()
  include(cmake/PythonPackage.cmake)

  # The prefix is known only when installing (`cmake --install --prefix`, or /usr in the
  # package), so the pkg-config data is written then, with the prefix spelled out: flags
  # such as -I/usr/include are then seen as the system's own.
  install(CODE "
    set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
    set(CMAKE_INSTALL_LIBDIR \"${CMAKE_INSTALL_LIBDIR}\")
    set(CMAKE_INSTALL_INCLUDEDIR \"${CMAKE_INSTALL_INCLUDEDIR}\")
    set(PROJECT_DESCRIPTION \"${PROJECT_DESCRIPTION}\")
    set(PROJECT_VERSION \"${PROJECT_VERSION}\")
    configure_file(\"${CMAKE_SOURCE_DIR}/cmake/cellsift.pc.in\"
                   \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/cellsift.pc\" @ONLY)
    message(STATUS \"Installing: \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/cellsift.pc\")
  " COMPONENT dev)

  # Each package carries the copyright and the changelog in its own documentation folder.
  configure_file(cmake/deb/changelog.in ${CMAKE_BINARY_DIR}/changelog @ONLY)
  execute_process(COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/changelog -c
                  OUTPUT_FILE ${CMAKE_BINARY_DIR}/changelog.gz)
  set(CPACK_COMPONENTS_ALL runtime dev)
  if(CELLSIFT_PYTHON_PACKAGE)
    list(APPEND CPACK_COMPONENTS_ALL python)
  endif()
  foreach(cellsift_component ${CPACK_COMPONENTS_ALL})
    if(cellsift_component STREQUAL runtime)
      set(cellsift_doc cellsift)
    elseif(cellsift_component STREQUAL dev)
      set(cellsift_doc libcellsift-dev)
    else()
      set(cellsift_doc python3-cellsift)
    endif()
    install(FILES cmake/deb/copyright ${CMAKE_BINARY_DIR}/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${cellsift_doc} COMPONENT ${cellsift_component})
  endforeach()

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${cellsift_contact}")
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME cellsift)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION text)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/cmake/deb/triggers)
  # CPack puts the summary (the project's description) before each of these.
  set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "cellsift prints the text of spreadsheets in the binary xls format: shared
strings, labels, sheet names, the writer's name, comments and text boxes.
This package holds the command-line tool and libcellsift.so.1, whose four
exported functions serve document indexers.")
  set(CPACK_DEBIAN_DEV_PACKAGE_NAME libcellsift-dev)
  set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "cellsift (= ${PROJECT_VERSION})")
  set(CPACK_COMPONENT_DEV_DESCRIPTION "Development files of cellsift, which prints the text of spreadsheets in
the binary xls format: the header, the linker's link to the library and
the pkg-config data for programs that call libcellsift.so.1.")
endif()

set(CPACK_PACKAGE_NAME cellsift)
set(CPACK_PACKAGE_VENDOR "cellsift developers")
set(CPACK_PACKAGE_CONTACT "${cellsift_contact}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
include(CPack)
