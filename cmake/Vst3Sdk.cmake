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

# The SDK's helper classes the module needs (component base, edit controller, editor
# view, buses, base objects), compiled as third-party code: no warnings of ours,
# position-independent and hidden, so that the module never exports SDK symbols a
# host could bind to its own copies.
set(TAVRENA_VST3_SDK_SOURCES
  base/source/baseiids.cpp
  base/source/fbuffer.cpp
  base/source/fobject.cpp
  base/source/fstreamer.cpp
  base/source/fstring.cpp
  base/source/updatehandler.cpp
  base/thread/source/flock.cpp
  pluginterfaces/base/coreiids.cpp
  pluginterfaces/base/funknown.cpp
  pluginterfaces/base/ustring.cpp
  public.sdk/source/common/pluginview.cpp
  public.sdk/source/vst/vstbus.cpp
  public.sdk/source/vst/vstcomponent.cpp
  public.sdk/source/vst/vstcomponentbase.cpp
  public.sdk/source/vst/vsteditcontroller.cpp
  public.sdk/source/vst/vstinitiids.cpp
  public.sdk/source/vst/vstparameters.cpp
)
if(TAVRENA_FULL_VST3_SDK)
  # A complete SDK carries the helpers the subset lacks; the compatibility layer
  # in sdk_compat/ is then left out.
  list(APPEND TAVRENA_VST3_SDK_SOURCES
    public.sdk/source/common/commoniids.cpp
    public.sdk/source/main/moduleinit.cpp
    public.sdk/source/main/pluginfactory.cpp
    public.sdk/source/vst/vstaudioeffect.cpp
  )
endif()
list(TRANSFORM TAVRENA_VST3_SDK_SOURCES PREPEND "${TAVRENA_VST3_SDK_DIR}/")
foreach(source IN LISTS TAVRENA_VST3_SDK_SOURCES)
  if(NOT EXISTS "${source}")
    message(FATAL_ERROR "VST 3 SDK source missing: ${source}")
  endif()
endforeach()
set_source_files_properties(${TAVRENA_VST3_SDK_SOURCES} PROPERTIES COMPILE_OPTIONS "-w")

add_library(vst3_sdk STATIC ${TAVRENA_VST3_SDK_SOURCES})
target_link_libraries(vst3_sdk PUBLIC vst3_interfaces Threads::Threads ${CMAKE_DL_LIBS})
set_target_properties(vst3_sdk PROPERTIES
  POSITION_INDEPENDENT_CODE ON
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)

if(NOT TAVRENA_FULL_VST3_SDK)
  include("${PROJECT_SOURCE_DIR}/sdk_compat/sources.cmake")
endif()

# The SDK's host-side classes (host context, messages, attribute lists, memory
# streams), for the editor command, which hosts the plug-in's two classes itself.
set(TAVRENA_VST3_HOSTING_SOURCES
  public.sdk/source/common/memorystream.cpp
  public.sdk/source/vst/hosting/hostclasses.cpp
  public.sdk/source/vst/hosting/pluginterfacesupport.cpp
)
list(TRANSFORM TAVRENA_VST3_HOSTING_SOURCES PREPEND "${TAVRENA_VST3_SDK_DIR}/")
set_source_files_properties(${TAVRENA_VST3_HOSTING_SOURCES} PROPERTIES COMPILE_OPTIONS "-w")
add_library(vst3_hosting STATIC ${TAVRENA_VST3_HOSTING_SOURCES})
target_link_libraries(vst3_hosting PUBLIC vst3_sdk)
