# The Python module as the third Debian package of the portable build, python3-cellsift: the
# extension built on the reader's library with Debian's pybind11 for Debian's python3.
# A package is for the system's interpreter, whatever one is first on PATH, and from release
# builds only; without Debian's python3-dev and python3-pybind11 the package is left out.
if(CMAKE_CROSSCOMPILING OR CELLSIFT_SANITIZE OR CELLSIFT_FUZZ OR NOT TARGET cellsift_workbook
   OR NOT EXISTS /usr/bin/python3)
  return()
endif()
set(Python_EXECUTABLE /usr/bin/python3)
find_package(Python 3 COMPONENTS Interpreter Development.Module QUIET)
set(PYBIND11_FINDPYTHON ON)
find_package(pybind11 CONFIG QUIET)
if(NOT Python_FOUND OR NOT pybind11_FOUND)
  message(STATUS "no python3-dev or python3-pybind11: the python3-cellsift package is not built")
  return()
endif()

# The same sources as setup.py's extension; the reader comes as its static library.
file(GLOB cellsift_python_sources CONFIGURE_DEPENDS python/cellsift/*.cpp)
pybind11_add_module(cellsift_python MODULE ${cellsift_python_sources})
set_target_properties(cellsift_python PROPERTIES OUTPUT_NAME _core
                      LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/python-package)
target_include_directories(cellsift_python PRIVATE python/cellsift)
target_compile_definitions(cellsift_python PRIVATE CELLSIFT_VERSION="${PROJECT_VERSION}")
target_link_libraries(cellsift_python PRIVATE cellsift_workbook)
# Only PyInit__core is the module's to export; the reader's own symbols stay inside it.
target_link_options(cellsift_python PRIVATE -Wl,--exclude-libs,ALL)

# Debian's one folder for every python3 version; the extension's name carries its ABI.
set(cellsift_python_dir lib/python3/dist-packages)
install(TARGETS cellsift_python LIBRARY DESTINATION ${cellsift_python_dir}/cellsift COMPONENT python)
install(DIRECTORY python/cellsift/ DESTINATION ${cellsift_python_dir}/cellsift COMPONENT python
        FILES_MATCHING PATTERN "*.py" PATTERN "py.typed" PATTERN "*.pyi" PATTERN "__pycache__" EXCLUDE)
# The metadata pip and importlib.metadata read, as Debian's own Python packages carry it.
set(cellsift_dist_info ${CMAKE_BINARY_DIR}/python-package/cellsift-${PROJECT_VERSION}.dist-info)
file(WRITE ${cellsift_dist_info}/METADATA "Metadata-Version: 2.1
Name: cellsift
Version: ${PROJECT_VERSION}
Summary: ${PROJECT_DESCRIPTION}
License: MIT
Requires-Python: >=3.9
")
file(WRITE ${cellsift_dist_info}/INSTALLER "debian\n")
install(FILES ${cellsift_dist_info}/METADATA ${cellsift_dist_info}/INSTALLER
        DESTINATION ${cellsift_python_dir}/cellsift-${PROJECT_VERSION}.dist-info COMPONENT python)

# The extension is built for this interpreter's minor version only.
set(cellsift_python_version "${Python_VERSION_MAJOR}.${Python_VERSION_MINOR}")
math(EXPR cellsift_python_minor_next "${Python_VERSION_MINOR} + 1")
set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-cellsift)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
    "python3 (>= ${cellsift_python_version}~), python3 (<< ${Python_VERSION_MAJOR}.${cellsift_python_minor_next})")
set(CPACK_COMPONENT_PYTHON_DESCRIPTION "Python 3 module of cellsift, which prints the text of spreadsheets in the
binary xls format: import cellsift to read a workbook's sheets, cells as
stored and as shown, comments, text boxes and properties, its text in every
form of the command-line tool, and pandas DataFrames (read_frame).")
# Byte code is compiled on the system and removed with the package (py3compile, py3clean).
set(CPACK_DEBIAN_PYTHON_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/cmake/deb/python3-cellsift/postinst ${CMAKE_SOURCE_DIR}/cmake/deb/python3-cellsift/prerm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CELLSIFT_PYTHON_PACKAGE ON)
