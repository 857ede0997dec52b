#include "tests/support/ProgramDirectory.h"

#include <windows.h>

#include <stdexcept>
#include <vector>

namespace TestSupport {

std::string PathNextToProgram(const std::string& fileName) {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) throw std::runtime_error("GetModuleFileNameA failed");
    if (length < buffer.size()) {
      std::string program(buffer.data(), length);
      return program.substr(0, program.find_last_of("\\/") + 1) + fileName;
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace TestSupport
