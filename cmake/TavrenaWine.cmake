# Windows test executables run under Wine through a small launcher that keeps the
# build's own prefix and a detached wineserver (see templates/wine-run.sh.in).
if(NOT (CMAKE_CROSSCOMPILING AND WIN32))
  return()
endif()
get_filename_component(_wine_dir "${CMAKE_CROSSCOMPILING_EMULATOR}" DIRECTORY)
set(TAVRENA_WINE "${CMAKE_CROSSCOMPILING_EMULATOR}")
find_program(TAVRENA_WINESERVER NAMES wineserver HINTS "${_wine_dir}" NO_CMAKE_FIND_ROOT_PATH)
if(NOT EXISTS "${TAVRENA_WINE}" OR NOT TAVRENA_WINESERVER)
  message(STATUS "Wine not found at ${TAVRENA_WINE}: the Windows tests build but cannot run "
                 "here, and the bundle goes without moduleinfo.json (scripts/setup.sh --windows "
                 "installs Wine)")
  set(CMAKE_CROSSCOMPILING_EMULATOR "")
  return()
endif()
set(TAVRENA_WINEPREFIX "${PROJECT_BINARY_DIR}/wine/prefix")
configure_file(cmake/templates/wine-run.sh.in "${PROJECT_BINARY_DIR}/wine/wine-run" @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${PROJECT_BINARY_DIR}/wine/wine-run")

# Test lists are read when ctest runs, not while building: the build needs no Wine.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# A cold prefix takes Wine over ten seconds to create; doing it while building keeps
# that out of the first test's time limit.
add_custom_command(
  OUTPUT "${TAVRENA_WINEPREFIX}/system.reg"
  COMMAND "${CMAKE_CROSSCOMPILING_EMULATOR}" cmd.exe /c exit
  COMMENT "Creating the Wine prefix for the Windows tests"
  VERBATIM)
add_custom_target(wine_prefix ALL DEPENDS "${TAVRENA_WINEPREFIX}/system.reg")
