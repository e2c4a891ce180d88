# Run by CPack before it builds the package: the package's Depends are computed by
# dpkg-shlibdeps, and a package without them would install and then fail to start.
find_program(TREVOLAN_SHLIBDEPS dpkg-shlibdeps)
set(works 1)
if(TREVOLAN_SHLIBDEPS)
  execute_process(COMMAND ${TREVOLAN_SHLIBDEPS} --version RESULT_VARIABLE works OUTPUT_QUIET ERROR_QUIET)
endif()
if(NOT works EQUAL 0)
  message(FATAL_ERROR "dpkg-shlibdeps not found: the package's dependencies cannot be computed; "
                      "install the package dpkg-dev (apt-get install dpkg-dev) and build the package again")
endif()
