# The editor page as the build embeds and serves it. TAVRENA_PAGE_DIR (build/<preset>/page)
# holds a link to every file of resources/, so an edit shows at the page's next reload, and
# schema.js, which the build writes from the engine's configuration rules
# (theory/tools/schema_js.cpp). `tavrena editor --resources build/<preset>/page` serves it
# without rebuilding; so does TAVRENA_EDITOR_RESOURCES for the plug-in's editor.
set(TAVRENA_PAGE_DIR "${PROJECT_BINARY_DIR}/page")
set(TAVRENA_PAGE_SCHEMA "${TAVRENA_PAGE_DIR}/schema.js")

# tavrena_page(<resources folder>): the links, and the target tavrena_page_schema.
function(tavrena_page folder)
  get_filename_component(folder "${folder}" ABSOLUTE)
  get_filename_component(generated_name "${TAVRENA_PAGE_SCHEMA}" NAME)
  if(EXISTS "${folder}/${generated_name}")
    message(FATAL_ERROR "Resources: ${folder}/${generated_name} would hide the ${generated_name} "
                        "the build writes from the engine; remove it")
  endif()
  file(MAKE_DIRECTORY "${TAVRENA_PAGE_DIR}")
  file(GLOB sources LIST_DIRECTORIES false CONFIGURE_DEPENDS "${folder}/*")
  set(linked "")
  foreach(path IN LISTS sources)
    get_filename_component(name "${path}" NAME)
    list(APPEND linked "${name}")
    file(CREATE_LINK "${path}" "${TAVRENA_PAGE_DIR}/${name}" SYMBOLIC COPY_ON_ERROR)
  endforeach()
  # A file removed from the folder leaves no link behind.
  file(GLOB present LIST_DIRECTORIES false "${TAVRENA_PAGE_DIR}/*")
  foreach(path IN LISTS present)
    get_filename_component(name "${path}" NAME)
    if(NOT name IN_LIST linked AND NOT name STREQUAL generated_name)
      file(REMOVE "${path}")
    endif()
  endforeach()

  if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    message(FATAL_ERROR "The page's ${generated_name} is written by running tavrena_schema_js, "
                        "which this cross build can only do under an emulator (Wine for "
                        "Windows: scripts/setup.sh --windows installs it)")
  endif()
  # In a cross build CMake runs the tool under CMAKE_CROSSCOMPILING_EMULATOR.
  add_custom_command(
    OUTPUT "${TAVRENA_PAGE_SCHEMA}"
    COMMAND tavrena_schema_js "${TAVRENA_PAGE_SCHEMA}"
    DEPENDS tavrena_schema_js
    COMMENT "Writing the page's ${generated_name} from the engine's configuration rules"
    VERBATIM)
  add_custom_target(tavrena_page_schema DEPENDS "${TAVRENA_PAGE_SCHEMA}")
  if(TARGET wine_prefix)
    add_dependencies(tavrena_page_schema wine_prefix)
  endif()
endfunction()
