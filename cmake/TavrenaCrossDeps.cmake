# The Windows cross-build takes Debian's header-only and source packages (JSON,
# HTTP, GoogleTest) without putting the build machine's /usr/include on its include
# path: each header is linked into a private include directory. cpp-httplib comes
# whole from its source package (scripts/setup.sh --windows): the Debian header
# declares a Linux library.
set(_cross_include "${PROJECT_BINARY_DIR}/cross-deps/include")
file(MAKE_DIRECTORY "${_cross_include}")
foreach(source "/usr/include/nlohmann" "${PROJECT_SOURCE_DIR}/third_party/cpp-httplib/httplib.h")
  if(NOT EXISTS "${source}")
    message(FATAL_ERROR "${source} not found; run scripts/setup.sh --windows")
  endif()
  get_filename_component(_name "${source}" NAME)
  file(CREATE_LINK "${source}" "${_cross_include}/${_name}" SYMBOLIC)
endforeach()

add_library(nlohmann_json INTERFACE)
add_library(nlohmann_json::nlohmann_json ALIAS nlohmann_json)
target_include_directories(nlohmann_json SYSTEM INTERFACE "${_cross_include}")

add_library(httplib INTERFACE)
add_library(httplib::httplib ALIAS httplib)
target_include_directories(httplib SYSTEM INTERFACE "${_cross_include}")
target_link_libraries(httplib INTERFACE ws2_32 crypt32)

if(TAVRENA_BUILD_TESTS)
  # GoogleTest from its Debian source package, built for the target.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest "${PROJECT_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
  # GoogleTest's own build already defines the GTest:: aliases.
  set(GTest_FOUND TRUE)
endif()
