# The Windows build's artifacts: the VST 3 bundle and the command-line tool, zipped.
if(NOT WIN32)
  return()
endif()
set(TAVRENA_RELEASE_ZIP
    "${PROJECT_BINARY_DIR}/release/Tavrena-${PROJECT_VERSION}-windows-x64.zip")
set(_staging "${PROJECT_BINARY_DIR}/release/staging")
add_custom_command(
  OUTPUT "${TAVRENA_RELEASE_ZIP}"
  COMMAND "${CMAKE_COMMAND}" -E rm -rf "${_staging}"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${_staging}"
  COMMAND "${CMAKE_COMMAND}" -E copy_directory "${TAVRENA_BUNDLE_DIR}" "${_staging}/Tavrena.vst3"
  COMMAND "${CMAKE_COMMAND}" -E copy "$<TARGET_FILE:tavrena>" "${_staging}/"
  COMMAND "${CMAKE_COMMAND}" -E rm -f "${TAVRENA_RELEASE_ZIP}"
  COMMAND "${CMAKE_COMMAND}" -E chdir "${_staging}"
          "${CMAKE_COMMAND}" -E tar cf "${TAVRENA_RELEASE_ZIP}" --format=zip Tavrena.vst3 tavrena.exe
  DEPENDS tavrena_vst3 tavrena
  COMMENT "Zipping the Windows bundle and tavrena.exe"
  VERBATIM)
add_custom_target(release_zip ALL DEPENDS "${TAVRENA_RELEASE_ZIP}")
