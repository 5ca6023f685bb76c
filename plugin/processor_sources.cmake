# The audio processor's part of the module: its sources (compiled into tavrena_plugin)
# and the playback library. Included by plugin/CMakeLists.txt.
option(TAVRENA_RTSAN "Built for RealtimeSanitizer: process() is non-blocking (see CMakePresets.json)" OFF)
add_subdirectory(playback)
set(TAVRENA_PROCESSOR_SOURCES
  "${CMAKE_CURRENT_LIST_DIR}/processor.cpp"
  "${CMAKE_CURRENT_LIST_DIR}/processor_process.cpp")
set(TAVRENA_PROCESSOR_LIBRARIES tavrena_playback)
