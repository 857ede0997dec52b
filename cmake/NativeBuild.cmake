# The platform-neutral code (card report decoding and its encoder) is also built natively
# for Linux with clang, for native unit tests, fuzzing and benchmarks. It is a separate
# CMake project (native/), built as part of this one and tested by the same CTest run.
include(ExternalProject)

set(NATIVE_BINARY_DIR ${CMAKE_BINARY_DIR}/native)
ExternalProject_Add(native
  SOURCE_DIR ${PROJECT_SOURCE_DIR}/native
  BINARY_DIR ${NATIVE_BINARY_DIR}
  CMAKE_ARGS
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
    -DCMAKE_C_COMPILER=clang
    -DCMAKE_CXX_COMPILER=clang++
  BUILD_ALWAYS ON
  # Named so that the pictures it writes can depend on it and are written again when it changes.
  BUILD_BYPRODUCTS ${NATIVE_BINARY_DIR}/bin/bitmap_generator
  INSTALL_COMMAND ""
  USES_TERMINAL_BUILD ON)

# Native GoogleTest programs run directly, not under Wine.
function(add_native_test name)
  add_gtest_test(${name} - ${NATIVE_BINARY_DIR}/bin/${name} ${ARGN})
  set_tests_properties(${name} PROPERTIES LABELS native)
endfunction()

add_native_test(card_report_native_tests)
add_native_test(bitmap_generator_tests)
add_native_test(bridge_json_native_tests)
add_native_test(strict_json_native_tests)

# The checks that every test entry's run was complete, against fixtures that end early.
add_node_suite(complete_runs_native ${PROJECT_SOURCE_DIR}/tests/support/complete/complete_runs.test.mjs)
set_tests_properties(complete_runs_native PROPERTIES LABELS native
  ENVIRONMENT "TARVX_GTEST_FIXTURE=${NATIVE_BINARY_DIR}/bin/early_exit_fixture;TARVX_GTEST_RUNNER=-")

# A short fuzz run is part of every test run; `make fuzz` runs a long one.
add_test(NAME card_report_fuzz_short
  COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/fuzz.sh 20 ${CMAKE_BINARY_DIR})
set_tests_properties(card_report_fuzz_short PROPERTIES LABELS native)
add_test(NAME bridge_json_fuzz_short
  COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/fuzz.sh 20 ${CMAKE_BINARY_DIR} bridge_json)
set_tests_properties(bridge_json_fuzz_short PROPERTIES LABELS native)
