# The Debian packages: `cmake --build build --target package` (or `cpack -G DEB` in the
# build folder) makes build/trevolan_VERSION_ARCH.deb of what `cmake --install` puts in
# place, with /usr as its prefix, and, when trevolan-mpi is built,
# build/trevolan-mpi_VERSION_ARCH.deb of its component mpi. Read at the end of the
# top-level CMakeLists.txt.

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
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TREVOLAN_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends: the shared libraries the programs link, as dpkg-shlibdeps finds them, and
# what each package adds below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# One package of each group of components: trevolan holds everything but trevolan-mpi
# (the Python module, component python, included); trevolan-mpi, which needs OpenMPI,
# is a package of its own.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENT_TREVOLAN_GROUP trevolan)
set(CPACK_COMPONENT_PYTHON_GROUP trevolan)

set(CPACK_DEBIAN_TREVOLAN_PACKAGE_NAME trevolan)
# The first line of a description is the package's summary; the lines after it follow.
set(CPACK_DEBIAN_TREVOLAN_DESCRIPTION "simulator of block diagrams, Petri nets and material flow
Trevolan simulates block diagrams that mix continuous models
(integrators, flux laws, arithmetic and function blocks) with Petri nets
and discrete material flow (activities, belts, containers, diverters,
timers and relays). A model runs in fixed time steps, animates its diagram,
plots up to ten values against time and is kept as a readable text file.

The package holds the Qt window trevolan, the batch runner trevolan-cli,
which runs the same models from scripts without a display, and example
models. Studies across machines with MPI are in the package trevolan-mpi.")
# Recommends: what the programs use at run time without linking it: the font the
# diagram is drawn in and Qt's Wayland platform for a Wayland desktop.
set(CPACK_DEBIAN_TREVOLAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, qt6-wayland")
# The spreadsheet link is optional: Calc with its UNO bridge only for models that link
# a workbook.
set(CPACK_DEBIAN_TREVOLAN_PACKAGE_SUGGESTS "libreoffice-calc-nogui | libreoffice-calc, python3-uno, bash-completion")
if(TARGET ${TREVOLAN_PYTHON_MODULE_TARGET})
  # The module is built for the python3 of the build machine, whose version its file
  # name carries: the package needs that python3 and no other.
  get_target_property(python_minor ${TREVOLAN_PYTHON_MODULE_TARGET} TREVOLAN_PYTHON_MINOR)
  if(python_minor)
    math(EXPR next_minor "${python_minor} + 1")
    set(CPACK_DEBIAN_TREVOLAN_PACKAGE_DEPENDS "python3 (>= 3.${python_minor}), python3 (<< 3.${next_minor}), python3-numpy")
  else()
    set(CPACK_DEBIAN_TREVOLAN_PACKAGE_DEPENDS "python3, python3-numpy")
  endif()
endif()

set(CPACK_DEBIAN_MPI_PACKAGE_NAME trevolan-mpi)
set(CPACK_DEBIAN_MPI_DESCRIPTION "studies of Trevolan models across machines with MPI
trevolan-mpi runs a study of a Trevolan model (many runs of one model
with varied values, summarised with confidence intervals) on every
machine and core that mpirun starts it on, and writes the same files as a
study of trevolan-cli on one machine.")
# The manual of a study's options (trevolan-cli(1)) and the example models come with
# trevolan of the same build; mpirun with openmpi-bin (the library, libopenmpi3, by
# dpkg-shlibdeps).
set(CPACK_DEBIAN_MPI_PACKAGE_DEPENDS "trevolan (= ${PROJECT_VERSION}), openmpi-bin")
set(CPACK_DEBIAN_MPI_PACKAGE_RECOMMENDS "")
set(CPACK_DEBIAN_MPI_PACKAGE_SUGGESTS "")

# Without dpkg-shlibdeps (package dpkg-dev) CPack would build a package with no Depends
# at all; it stops instead.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/packaging/check-package-tools.cmake)

include(CPack)
