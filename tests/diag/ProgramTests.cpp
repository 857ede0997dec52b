// tarvx-diag.exe as a technician runs it: its own process, exit codes for scripts,
// reports on standard output and complaints on standard error.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/ProgramDirectory.h"
#include "tests/support/ThisBuild.h"

namespace {

ChildResult RunTool(const std::string& arguments) {
  return RunChild("\"" + TestSupport::PathNextToProgram("tarvx-diag.exe") + "\" " + arguments);
}

TEST(Program, ExitCodesAndStreams) {
  struct Case {
    std::string arguments;
    unsigned long exitCode;
    std::string outStart;  // empty: nothing on standard output
    std::string errStart;  // empty: nothing on standard error
  };
  const Case cases[] = {
      {"--decode 00 01 5A 5C 00 0D FF 0B 12 F4 80 55 3C A4 01 AA 03", 0,
       "17 bytes: 00 01 5A 5C 00 0D FF 0B 12 F4 80 55 3C A4 01 AA 03\n", ""},
      {"--decode \"00 02 5A 5C 00 0D FF 0B 12 F4 80 55 3C A4 01 AA 03\"", 1, "17 bytes: 00 02", ""},
      {"--decode 0x0G", 2, "", "tarvx-diag: --decode: 'G' at position 4 is not a hex digit\n"},
      {"--help", 0, "Usage: tarvx-diag", ""},
      {"--listen --count 0", 2, "", "tarvx-diag: --count needs a whole number"},
      {"--frobnicate", 2, "", "tarvx-diag: unknown argument: --frobnicate\nTry tarvx-diag --help.\n"},
      // The program's own simulated reader has no devices plugged in.
      {"", 1, "HID device interfaces present: 0\n", ""},
      {"--listen", 1, "No card reader found", ""},
  };
  for (const Case& c : cases) {
    const ChildResult result = RunTool(c.arguments);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.arguments << "\n" << result.out << result.err;
    EXPECT_EQ(result.out.substr(0, c.outStart.size()), c.outStart) << c.arguments;
    EXPECT_EQ(result.out.empty(), c.outStart.empty()) << c.arguments << "\n" << result.out;
    EXPECT_EQ(result.err.substr(0, c.errStart.size()), c.errStart) << c.arguments;
    EXPECT_EQ(result.err.empty(), c.errStart.empty()) << c.arguments << "\n" << result.err;
  }
}

// A plug-in registration in this user's registry for the length of a test, removed again
// however the test ends: HKCU\Software\MozillaPlugins\<name> with its Path.
class UserPluginKey {
 public:
  UserPluginKey(const std::string& name, const std::string& dllPath) : m_key(std::string(kPluginsKey) + "\\" + name) {
    HKEY parent = nullptr;
    m_parentExisted = RegOpenKeyExA(HKEY_CURRENT_USER, kPluginsKey, 0, KEY_READ, &parent) == ERROR_SUCCESS;
    if (m_parentExisted) RegCloseKey(parent);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, m_key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
      throw std::runtime_error("cannot create HKCU\\" + m_key);
    }
    const LSTATUS status = RegSetValueExA(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(dllPath.c_str()),
                                          static_cast<DWORD>(dllPath.size() + 1));
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
      Remove();
      throw std::runtime_error("cannot write Path under HKCU\\" + m_key);
    }
  }
  ~UserPluginKey() { Remove(); }
  UserPluginKey(const UserPluginKey&) = delete;
  UserPluginKey& operator=(const UserPluginKey&) = delete;

 private:
  static constexpr const char* kPluginsKey = "Software\\MozillaPlugins";

  void Remove() noexcept {
    RegDeleteKeyA(HKEY_CURRENT_USER, m_key.c_str());
    // Only when this test made it, and only when empty (RegDeleteKey leaves a key with subkeys).
    if (!m_parentExisted) RegDeleteKeyA(HKEY_CURRENT_USER, kPluginsKey);
  }

  std::string m_key;
  bool m_parentExisted = false;
};

// The lines the check printed for one registration: from its key to the next key or section.
std::string RegistrationBlock(const std::string& out, const std::string& keyLine) {
  const std::size_t start = out.find(keyLine);
  if (start == std::string::npos) return {};
  std::size_t end = start + keyLine.size();
  while (end < out.size() && out.compare(end, 4, "    ") == 0) {
    const std::size_t lineEnd = out.find('\n', end);
    end = lineEnd == std::string::npos ? out.size() : lineEnd + 1;
  }
  return out.substr(start, end - start);
}

// The real registry and file, as a technician's machine would have them: this build's
// plug-in registered for this user under the name the installer gives a DLL of its width.
// Other suites may register plug-ins in the same prefix at the same time, so the exit code
// is judged against every problem the report printed.
TEST(Program, PluginCheckReadsTheRealRegistryAndDll) {
  struct Case {
    const char* why;
    std::string dllPath;
    std::string blockMentions;
    bool blockOk;  // no PROBLEM for this registration
  };
  namespace ThisBuild = TestSupport::ThisBuild;
  const std::string width = ThisBuild::kWidth;
  const Case cases[] = {
      {"this build's plug-in", TestSupport::PathNextToProgram("npTARVX.dll"),
       "    DLL:  " + width + " (" + ThisBuild::kArchitecture +
           "), version " DIAG_EXPECTED_VERSION "\n    ok: " + width + " browsers load it\n",
       true},
      {"a DLL that is not there", TestSupport::PathNextToProgram("npTARVX-missing.dll"),
       "    PROBLEM: the DLL does not exist: " + TestSupport::PathNextToProgram("npTARVX-missing.dll"), false},
  };
  for (const Case& c : cases) {
    const std::string keyPrefix = ThisBuild::kIs64 ? "@tarvo/npTARVX-x64" : "@tarvo/npTARVX";
    const std::string name = keyPrefix + ",diag-test-" + std::to_string(GetCurrentProcessId());
    const UserPluginKey key(name, c.dllPath);
    const ChildResult result = RunTool("--plugin");
    const std::string block = RegistrationBlock(result.out, "  HKCU\\Software\\MozillaPlugins\\" + name + "\n");
    EXPECT_THAT(block, testing::HasSubstr("    Path: " + c.dllPath + "\n")) << c.why << "\n" << result.out;
    EXPECT_THAT(block, testing::HasSubstr(c.blockMentions)) << c.why << "\n" << result.out;
    EXPECT_EQ(block.find("PROBLEM") == std::string::npos, c.blockOk) << c.why << "\n" << result.out;
    EXPECT_EQ(result.exitCode, result.out.find("PROBLEM") == std::string::npos ? 0U : 1U) << c.why << "\n"
                                                                                          << result.out;
    EXPECT_EQ(result.err, "") << c.why;
  }
}

// A technician tells releases apart by the file's properties.
TEST(Program, CarriesTheProjectsVersion) {
  const std::string path = TestSupport::PathNextToProgram("tarvx-diag.exe");
  DWORD ignored = 0;
  std::vector<char> data(GetFileVersionInfoSizeA(path.c_str(), &ignored));
  ASSERT_FALSE(data.empty());
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));
  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\040904e4\\FileVersion", &value, &length));
  EXPECT_STREQ(static_cast<const char*>(value), DIAG_EXPECTED_VERSION);
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\", &value, &length));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  const std::string fixedVersion =
      std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
      std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
  EXPECT_EQ(fixedVersion, DIAG_EXPECTED_VERSION);
}

}  // namespace
