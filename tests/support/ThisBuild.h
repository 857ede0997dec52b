// What a test may expect of the build it belongs to: the plug-in, the host and the tools
// next to the running program were built in the same tree, for the same width. Tests take
// every width-dependent expectation about them from here, never from a constant, so that
// the same test holds in the 32-bit and in the 64-bit tree.
#pragma once

#include <cstdint>

#ifndef TARVX_TREE_BITS
#error "TARVX_TREE_BITS (32 or 64) comes from the tree's CMake configuration (add_wine_test)"
#endif

namespace TestSupport::ThisBuild {

constexpr int kBits = TARVX_TREE_BITS;
// A program compiled for another width than its tree's would test the wrong binaries.
static_assert(kBits == 8 * static_cast<int>(sizeof(void*)), "compiled for another width than its build tree");

constexpr bool kIs64 = kBits == 64;
// The PE header's machine field of every binary of the tree.
constexpr std::uint16_t kPeMachine = kIs64 ? 0x8664 : 0x014C;
// "32-bit" or "64-bit", and the architecture's name as the tools print them.
constexpr const char* kWidth = kIs64 ? "64-bit" : "32-bit";
constexpr const char* kArchitecture = kIs64 ? "x86-64" : "i386";

}  // namespace TestSupport::ThisBuild
