# The Debian package: `cmake --build build --target package` (or `cpack -G DEB` in the
# build folder) makes build/trevolan_VERSION_ARCH.deb of what `cmake --install` puts in
# place, with /usr as its prefix. Read at the end of the top-level CMakeLists.txt.

# The Python module, when it is built, goes where Debian's python3 finds modules.
set(TREVOLAN_PYTHON_MODULE_TARGET trevolan_python CACHE STRING "The CMake target of the Python module")
set(TREVOLAN_INSTALL_PYTHONDIR lib/python3/dist-packages CACHE PATH
  "Where the Python module is installed, relative to the prefix")
if(TARGET ${TREVOLAN_PYTHON_MODULE_TARGET})
  install(TARGETS ${TREVOLAN_PYTHON_MODULE_TARGET} LIBRARY DESTINATION ${TREVOLAN_INSTALL_PYTHONDIR}/trevolan COMPONENT python)
  get_target_property(python_files ${TREVOLAN_PYTHON_MODULE_TARGET} TREVOLAN_PYTHON_FILES)
  install(FILES ${python_files} DESTINATION ${TREVOLAN_INSTALL_PYTHONDIR}/trevolan COMPONENT python)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME trevolan)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Trevolan developers")
set(CPACK_PACKAGE_CONTACT ${TREVOLAN_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The first line of the package's description; the lines after it follow.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "simulator of block diagrams, Petri nets and material flow")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Trevolan simulates block diagrams that mix continuous models
(integrators, flux laws, arithmetic and function blocks) with Petri nets
and discrete material flow (activities, belts, containers, diverters,
timers and relays). A model runs in fixed time steps, animates its diagram,
plots up to ten values against time and is kept as a readable text file.

The package holds the Qt window trevolan, the batch runner trevolan-cli,
which runs the same models from scripts without a display, and example
models.")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TREVOLAN_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends: the shared libraries the programs link, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Recommends: what the programs use at run time without linking it: the font the
# diagram is drawn in and Qt's Wayland platform for a Wayland desktop.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, qt6-wayland")
# The spreadsheet link is optional: Calc with its UNO bridge only for models that link
# a workbook.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libreoffice-calc-nogui | libreoffice-calc, python3-uno, bash-completion")
if(TARGET ${TREVOLAN_PYTHON_MODULE_TARGET})
  # The module is built for the python3 of the build machine, whose version its file
  # name carries: the package needs that python3 and no other.
  get_target_property(python_minor ${TREVOLAN_PYTHON_MODULE_TARGET} TREVOLAN_PYTHON_MINOR)
  if(python_minor)
    math(EXPR next_minor "${python_minor} + 1")
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3 (>= 3.${python_minor}), python3 (<< 3.${next_minor}), python3-numpy")
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3, python3-numpy")
  endif()
endif()

# Without dpkg-shlibdeps (package dpkg-dev) CPack would build a package with no Depends
# at all; it stops instead.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/packaging/check-package-tools.cmake)

include(CPack)
