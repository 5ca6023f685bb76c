# Strict warnings for our own targets only; third-party code keeps its own flags.
function(tavrena_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(TAVRENA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
