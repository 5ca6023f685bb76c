# Strict warnings for our own targets only; third-party code keeps its own flags.
# Warnings become errors where the presets (and so CI) switch TAVRENA_WERROR on.
function(tavrena_warnings target)
  if(MSVC)
    # /utf-8: the sources hold Cyrillic literals.
    target_compile_options(${target} PRIVATE /W4 /utf-8)
    if(TAVRENA_WERROR)
      target_compile_options(${target} PRIVATE /WX)
    endif()
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(TAVRENA_WERROR)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  endif()
endfunction()
