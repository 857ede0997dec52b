# Warnings on and fatal for the project's own code (not for GoogleTest).
function(project_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wcast-qual -Wformat=2 -Werror)
endfunction()

# Release builds are optimised and stripped.
function(project_strip target)
  target_link_options(${target} PRIVATE $<$<CONFIG:Release>:-s>)
endfunction()
