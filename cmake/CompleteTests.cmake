# Every test entry passes only when its run was complete: a program or script that ends
# early with exit code 0 fails instead of hiding the tests after the one it was in.
#   add_gtest_test(<name> <runner|-> <program> [GoogleTest options...])
#       a GoogleTest program, under <runner> (a Wine runner) or directly (-): its summary,
#       as many tests run as it lists, none failed (tests/support/gtest-complete.sh);
#   add_node_suite(<name> <node --test options and files...>)
#       test files under node's test runner: its summary, as many tests as the files
#       declare, none failed (tests/support/node/node-suite.mjs);
#   add_script_test(<name> <command...>)
#       a test script that ends with its checks' summary line (tests/support/checks.sh):
#       every planned check made, none failed (tests/support/script-complete.sh).
set(TARVX_COMPLETE_DIR ${CMAKE_CURRENT_LIST_DIR}/../tests/support)
find_program(NODE_EXECUTABLE node REQUIRED)

function(add_gtest_test name runner program)
  add_test(NAME ${name} COMMAND bash ${TARVX_COMPLETE_DIR}/gtest-complete.sh ${runner} ${program} ${ARGN})
endfunction()

function(add_node_suite name)
  add_test(NAME ${name} COMMAND ${NODE_EXECUTABLE} ${TARVX_COMPLETE_DIR}/node/node-suite.mjs ${ARGN})
endfunction()

function(add_script_test name)
  add_test(NAME ${name} COMMAND bash ${TARVX_COMPLETE_DIR}/script-complete.sh ${ARGN})
endfunction()
