// A GoogleTest program that ends its process with exit code 0 in its third test, as an
// ExitProcess in code under test would; with TARVX_FIXTURE_COMPLETE set it runs all five.
// The test runner's completeness check must fail it (complete_runs.test.mjs).
#include <gtest/gtest.h>

#include <cstdlib>
#ifdef _WIN32
#include <windows.h>
#endif

namespace {

void EndTheProcessEarly() {
  if (std::getenv("TARVX_FIXTURE_COMPLETE") != nullptr) return;
#ifdef _WIN32
  ExitProcess(0);
#else
  std::exit(0);
#endif
}

TEST(EarlyExit, First) { SUCCEED(); }
TEST(EarlyExit, Second) { SUCCEED(); }
TEST(EarlyExit, Third) { EndTheProcessEarly(); }
TEST(EarlyExit, Fourth) { SUCCEED(); }
TEST(EarlyExit, Fifth) { SUCCEED(); }

}  // namespace
