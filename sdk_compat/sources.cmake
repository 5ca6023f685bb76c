# Compatibility layer for the VST 3 SDK subset (3.7.2): the helper classes the subset
# lacks, under the full SDK's header paths, so that our code includes them the same
# way whichever SDK is used. Included by cmake/Vst3Sdk.cmake when
# TAVRENA_FULL_VST3_SDK is off; the sources join the vst3_sdk library but, unlike the
# SDK's own files, compile with our warnings.
set(TAVRENA_SDK_COMPAT_SOURCES
  "${CMAKE_CURRENT_LIST_DIR}/guiiids.cpp"
  "${CMAKE_CURRENT_LIST_DIR}/public.sdk/source/main/moduleinit.cpp"
  "${CMAKE_CURRENT_LIST_DIR}/public.sdk/source/main/pluginfactory.cpp"
  "${CMAKE_CURRENT_LIST_DIR}/public.sdk/source/vst/vstaudioeffect.cpp"
)
set(compat_options -Wall -Wextra -Wpedantic)
if(TAVRENA_WERROR)
  list(APPEND compat_options -Werror)
endif()
set_source_files_properties(${TAVRENA_SDK_COMPAT_SOURCES} PROPERTIES COMPILE_OPTIONS "${compat_options}")
target_sources(vst3_sdk PRIVATE ${TAVRENA_SDK_COMPAT_SOURCES})
target_include_directories(vst3_sdk PUBLIC "${CMAKE_CURRENT_LIST_DIR}")
