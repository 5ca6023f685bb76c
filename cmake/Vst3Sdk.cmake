# Locates the VST 3 SDK. By default the subset unpacked by scripts/setup.sh is used;
# TAVRENA_VST3_SDK_DIR may point at a full SDK instead.
set(TAVRENA_VST3_SDK_DIR "${PROJECT_SOURCE_DIR}/third_party/vst3sdk" CACHE PATH
    "Root of the VST 3 SDK (the folder holding pluginterfaces/, base/, public.sdk/)")
option(TAVRENA_FULL_VST3_SDK "The SDK at TAVRENA_VST3_SDK_DIR is a complete VST 3 SDK (3.8.0)" OFF)

if(NOT EXISTS "${TAVRENA_VST3_SDK_DIR}/pluginterfaces/base/funknown.h")
  message(FATAL_ERROR "VST 3 SDK not found at ${TAVRENA_VST3_SDK_DIR}; run scripts/setup.sh")
endif()

# Interface headers only: enough for code that talks to IBStream and friends.
add_library(vst3_interfaces INTERFACE)
target_include_directories(vst3_interfaces SYSTEM INTERFACE "${TAVRENA_VST3_SDK_DIR}")
# The SDK headers refuse to compile unless one of these is defined.
target_compile_definitions(vst3_interfaces INTERFACE RELEASE=1)
