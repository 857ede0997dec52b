// File paths as the person running the demo can use them.
#pragma once

#include <string>

// The full path; under Wine the Linux path of the file (Z:\work\x.png is /work/x.png),
// since that is where the person looks for it.
std::string DisplayPath(const std::string& path);

// The directory of the running program, with a trailing separator.
std::string ProgramDirectory();
