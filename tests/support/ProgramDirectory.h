// Where the test program's companions are: every binary of the build lands in one
// directory, so the plug-in DLL and helper DLLs sit next to the running .exe.
#pragma once

#include <string>

namespace TestSupport {

// The full path of `fileName` in the directory of the running program.
std::string PathNextToProgram(const std::string& fileName);

}  // namespace TestSupport
