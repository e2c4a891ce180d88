# cmake -DSOURCE=DIR -DHEADER=FILE -P commit-header.cmake: writes FILE, the header that
# names the commit the programs are built from, for their --version. Run at every
# build; the header is rewritten only when the commit changed, so a build after a new
# commit recompiles the three programs' main files and a build without one nothing.
set(commit "unknown commit")
# The commit of SOURCE's own checkout only, not of a repository it happens to lie in.
execute_process(COMMAND git -C "${SOURCE}" rev-parse --show-toplevel --short HEAD
  RESULT_VARIABLE failed OUTPUT_VARIABLE lines OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT failed)
  string(REPLACE "\n" ";" lines "${lines}")
  list(GET lines 0 top)
  list(GET lines 1 hash)
  file(REAL_PATH "${top}" top)
  file(REAL_PATH "${SOURCE}" source)
  if(top STREQUAL source)
    set(commit "commit ${hash}")
  endif()
endif()
file(CONFIGURE OUTPUT "${HEADER}" CONTENT [[#pragma once

namespace trevolan {

// The commit the program was built from, or "unknown commit" outside a git checkout.
inline constexpr const char* kCommit = "@commit@";

}  // namespace trevolan
]] @ONLY)
