# Page files become part of the code: nobody keeps byte arrays by hand.
#   tavrena_embed_resources(<target> <folder> [GENERATED <file>... BY <target>...])
# compiles every file directly in <folder>, and each generated file (written by the targets
# after BY), into <target> at build time: as a sorted table of byte arrays (non-Windows) or as
# RCDATA resources of the module (Windows). Each file is named by tavrena_resource_name()
# (embed_resources.cmake), the rule the page server looks names up by.
include("${CMAKE_CURRENT_LIST_DIR}/embed_resources.cmake")
set(TAVRENA_EMBED_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/embed_resources.cmake" CACHE INTERNAL
    "The build-time script that compiles resource folders")

function(tavrena_embed_resources target folder)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "GENERATED;BY")
  get_filename_component(folder "${folder}" ABSOLUTE)
  # CONFIGURE_DEPENDS: adding or removing a page file re-runs the configuration before a build.
  file(GLOB all LIST_DIRECTORIES true CONFIGURE_DEPENDS "${folder}/*")
  foreach(path IN LISTS all)
    if(IS_DIRECTORY "${path}")
      message(WARNING "Resources: sub-folder ${path} is not embedded (sub-folders are never served)")
    endif()
  endforeach()
  # Fails here already on clashing names or empty files; the build step checks again.
  tavrena_list_resources(entries "${folder}" ${arg_GENERATED})
  set(files "")
  foreach(entry IN LISTS entries)
    string(REGEX REPLACE "^[^!]*!" "" path "${entry}")
    list(APPEND files "${path}")
  endforeach()

  set(out "${CMAKE_CURRENT_BINARY_DIR}/generated")
  set(cpp "${out}/${target}_table.cpp")
  set(rc "${out}/${target}.rc")
  # Rewritten only when the list changes: removing a file leaves no newer input behind, so the
  # list itself must be an input for the table to be generated again.
  set(listing "${out}/${target}_files.txt")
  list(JOIN entries "\n" listing_text)
  set(previous "")
  if(EXISTS "${listing}")
    file(READ "${listing}" previous)
  endif()
  if(NOT previous STREQUAL "${listing_text}\n")
    file(WRITE "${listing}" "${listing_text}\n")
  endif()
  list(JOIN arg_GENERATED "|" generated)
  add_custom_command(
    OUTPUT "${cpp}" "${rc}"
    COMMAND "${CMAKE_COMMAND}" "-DRESOURCE_DIR=${folder}" "-DGENERATED_FILES=${generated}"
            "-DOUTPUT_CPP=${cpp}" "-DOUTPUT_RC=${rc}" -P "${TAVRENA_EMBED_SCRIPT}"
    DEPENDS ${files} "${listing}" "${TAVRENA_EMBED_SCRIPT}"
    COMMENT "Embedding the files of ${folder}"
    VERBATIM)
  add_custom_target(${target}_generate DEPENDS "${cpp}" "${rc}")
  if(arg_BY)
    add_dependencies(${target}_generate ${arg_BY})
  endif()
  add_dependencies(${target} ${target}_generate)
  if(WIN32)
    # A resource object in a static library is never linked (no symbol pulls it in), so the
    # script is compiled into each executable or DLL that links the target, directly or through
    # PUBLIC links. The lookup searches the module holding its own code: that same module.
    set(type "$<TARGET_PROPERTY:TYPE>")
    set(is_module "$<OR:$<STREQUAL:${type},EXECUTABLE>,$<STREQUAL:${type},SHARED_LIBRARY>,$<STREQUAL:${type},MODULE_LIBRARY>>")
    target_sources(${target} INTERFACE "$<${is_module}:${rc}>")
  else()
    target_sources(${target} PRIVATE "${cpp}")
  endif()
endfunction()
