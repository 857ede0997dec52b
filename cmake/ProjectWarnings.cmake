# Warnings on and fatal for the project's own code (not for GoogleTest).
# The product's folders (what ships: plugin/, reader/, win32/, image/, bridge/, json/) get the
# stricter set as well, chosen by where the target is defined, so a new product target
# gets it without asking and the tests and tools keep the common set.
set(TARVX_PRODUCT_DIRS plugin reader win32 image bridge json)
set(TARVX_PRODUCT_WARNINGS
  -Wconversion -Wsign-conversion -Wold-style-cast -Wnon-virtual-dtor -Wnull-dereference)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  list(APPEND TARVX_PRODUCT_WARNINGS -Wduplicated-cond -Wlogical-op)
endif()

function(project_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wcast-qual -Wformat=2 -Werror)
  get_target_property(dir ${target} SOURCE_DIR)
  file(RELATIVE_PATH rel ${PROJECT_SOURCE_DIR} ${dir})
  string(REGEX REPLACE "/.*" "" top "${rel}")
  if(top IN_LIST TARVX_PRODUCT_DIRS)
    # -Wold-style-cast is C++ only; the resource compiler and C sources skip the set.
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${TARVX_PRODUCT_WARNINGS}>)
  endif()
endfunction()

# Release builds are optimised and stripped.
function(project_strip target)
  target_link_options(${target} PRIVATE $<$<CONFIG:Release>:-s>)
endfunction()
