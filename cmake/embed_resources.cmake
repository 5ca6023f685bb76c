# Compiles the files of a folder, and any generated files beside them, into the code. Run at
# build time:
#   cmake -DRESOURCE_DIR=<folder> [-DGENERATED_FILES=<file>|<file>...] -DOUTPUT_CPP=<file.cpp>
#         -DOUTPUT_RC=<file.rc> -P embed_resources.cmake
# Included by TavrenaResources.cmake for the naming rule and the folder listing alone.
cmake_minimum_required(VERSION 3.25)

# out = the resource name of file_name: "TAVRENA_" + the name upper-cased, then every character
# other than 0-9, A-Z and "_" becomes "_". The browser host upper-cases per UTF-16 unit, so a
# non-ASCII character gives one "_", or two beyond U+FFFF (counted here from the UTF-8 lead byte).
function(tavrena_resource_name out file_name)
  string(HEX "${file_name}" hex)
  string(LENGTH "${hex}" hex_length)
  set(name "TAVRENA_")
  set(pos 0)
  while(pos LESS hex_length)
    string(SUBSTRING "${hex}" ${pos} 2 byte_hex)
    math(EXPR byte "0x${byte_hex}")
    math(EXPR pos "${pos} + 2")
    if(byte LESS 128)
      string(ASCII ${byte} char)
      string(TOUPPER "${char}" char)
      if(char MATCHES "^[0-9A-Z_]$")
        string(APPEND name "${char}")
      else()
        string(APPEND name "_")
      endif()
    elseif(byte GREATER_EQUAL 240)
      string(APPEND name "__")
    elseif(byte GREATER_EQUAL 192)
      string(APPEND name "_")
    endif()
  endwhile()
  set(${out} "${name}" PARENT_SCOPE)
endfunction()

# out = "<NAME>!<path>" for every file directly in folder and every further file named after it
# (generated ones, which need not exist yet), sorted by name. "!" sorts before every name
# character, so the order is the byte order of the names alone.
# Two files with one name, an empty file or an unusable file name are errors.
function(tavrena_list_resources out folder)
  file(GLOB paths LIST_DIRECTORIES false "${folder}/*")
  set(entries "")
  foreach(path IN LISTS paths ARGN)
    if(NOT EXISTS "${path}" AND NOT path IN_LIST ARGN)
      message(FATAL_ERROR "Resources: cannot embed \"${path}\" (';' or '[' in a file name?)")
    endif()
    get_filename_component(file_name "${path}" NAME)
    tavrena_resource_name(name "${file_name}")
    if(DEFINED _owner_${name})
      message(FATAL_ERROR
        "Resources: \"${_owner_${name}}\" and \"${file_name}\" both become ${name}; rename one")
    endif()
    set(_owner_${name} "${file_name}")
    set(size 1)
    if(EXISTS "${path}")
      file(SIZE "${path}" size)
    endif()
    if(size EQUAL 0)
      # The browser host fails an empty resource, so the page would silently miss it.
      message(FATAL_ERROR "Resources: \"${path}\" is empty")
    endif()
    list(APPEND entries "${name}!${path}")
  endforeach()
  list(SORT entries)
  set(${out} "${entries}" PARENT_SCOPE)
endfunction()

function(_tavrena_write_resources folder cpp rc)
  tavrena_list_resources(entries "${folder}" ${ARGN})
  list(LENGTH entries count)
  set(arrays "")
  set(rows "")
  # Windows: the resource compiler reads the script as UTF-8 and stores every entry under
  # LANG_ENGLISH, SUBLANG_ENGLISH_US (1033), the language the lookup asks for.
  set(script "// Generated from ${folder} by cmake/embed_resources.cmake; do not edit.\n")
  string(APPEND script "#pragma code_page(65001)\nLANGUAGE 0x09, 0x01\n")
  set(index 0)
  foreach(entry IN LISTS entries)
    string(FIND "${entry}" "!" cut)
    string(SUBSTRING "${entry}" 0 ${cut} name)
    math(EXPR cut "${cut} + 1")
    string(SUBSTRING "${entry}" ${cut} -1 path)
    get_filename_component(file_name "${path}" NAME)
    if(NOT EXISTS "${path}")
      message(FATAL_ERROR "Resources: the generated \"${path}\" is missing")
    endif()
    file(READ "${path}" hex HEX)
    # 16 bytes a line, each as 0xNN; the final 0 keeps the array valid C++ and is not counted.
    string(REGEX REPLACE "(................................)" "\\1\n" hex "${hex}")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," hex "${hex}")
    string(APPEND arrays "// ${file_name}\nconstexpr unsigned char kBytes${index}[] = {\n${hex}\n0x00};\n")
    string(APPEND rows "    {\"${name}\", kBytes${index}, sizeof(kBytes${index}) - 1},\n")
    string(APPEND script "${name} RCDATA \"${path}\"\n")
    math(EXPR index "${index} + 1")
  endforeach()
  file(WRITE "${cpp}" "// Generated from ${folder} by cmake/embed_resources.cmake; do not edit.
#include <algorithm>
#include <array>
#include <functional>
#include <span>

#include \"vstwebview/embedded_resource_table.h\"

namespace vstwebview {
namespace {

${arrays}
constexpr std::array<EmbeddedFile, ${count}> kFiles = {{
${rows}}};

// The lookup's binary search relies on this order.
static_assert(std::ranges::adjacent_find(kFiles, std::ranges::greater_equal{},
                                         &EmbeddedFile::name) == kFiles.end(),
              \"resource names must be unique and sorted\");

}  // namespace

std::span<const EmbeddedFile> EmbeddedFiles() { return kFiles; }

}  // namespace vstwebview
")
  file(WRITE "${rc}" "${script}")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  foreach(var RESOURCE_DIR OUTPUT_CPP OUTPUT_RC)
    if(NOT DEFINED ${var})
      message(FATAL_ERROR "embed_resources.cmake: -D${var}=... is required")
    endif()
  endforeach()
  string(REPLACE "|" ";" generated "${GENERATED_FILES}")
  _tavrena_write_resources("${RESOURCE_DIR}" "${OUTPUT_CPP}" "${OUTPUT_RC}" ${generated})
endif()
