// Reading the plug-in and the program this build made, as the plug-in check reads a DLL:
// what a real linker and resource compiler produced, for the tree's own width.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/ProgramDirectory.h"
#include "tests/support/ThisBuild.h"
#include "tools/diag/PeImage.h"

namespace {

std::string FileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The plug-in as shipped, and the diagnostics program itself.
TEST(PeImage, ReadsTheBuildsOwnPluginAndProgram) {
  const PeImage plugin = ReadPeImage(FileBytes(TestSupport::PathNextToProgram("npTARVX.dll")));
  ASSERT_EQ(plugin.error, "");
  EXPECT_EQ(plugin.machine, TestSupport::ThisBuild::kPeMachine);
  EXPECT_TRUE(plugin.isDll);
  for (const char* entryPoint : {"NP_GetEntryPoints", "NP_Initialize", "NP_Shutdown"}) {
    EXPECT_NE(std::find(plugin.exportNames.begin(), plugin.exportNames.end(), entryPoint), plugin.exportNames.end())
        << entryPoint;
  }
  EXPECT_EQ(plugin.fileVersion.value_or(""), DIAG_EXPECTED_VERSION);

  const PeImage program = ReadPeImage(FileBytes(TestSupport::PathNextToProgram("tarvx-diag.exe")));
  ASSERT_EQ(program.error, "");
  EXPECT_FALSE(program.isDll);
  EXPECT_EQ(program.fileVersion.value_or(""), DIAG_EXPECTED_VERSION);
}

}  // namespace
