// tarvx-diag --plugin on machines described by a fake registry and file system: each
// MozillaPlugins registration checked for the browsers that read it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/diag/FakeMachineProbe.h"
#include "tests/diag/PeFixture.h"
#include "tools/diag/ExitCodes.h"
#include "tools/diag/PeImage.h"
#include "tools/diag/PluginCheck.h"

namespace {

using testing::HasSubstr;
using testing::Not;

const std::string kPlugins = "Software\\MozillaPlugins\\";
const std::string kName = "@tarvo/npTARVX,version=1.0.0.1";
const std::string kX64Name = "@tarvo/npTARVX-x64,version=1.0.0.1";
const std::string kDll32 = "C:\\Program Files (x86)\\npTARVX\\npTARVX.dll";
const std::string kDll64 = "C:\\Program Files\\npTARVX\\npTARVX.dll";
const std::string kUserDll32 = "C:\\npTARVX\\npTARVX.dll";
const std::string kUserDll64 = "C:\\npTARVX\\x64\\npTARVX.dll";

std::string Dll(std::uint16_t machine) {
  PeFixture fixture;
  fixture.machine = machine;
  return fixture.Build();
}

// A registration as the .reg files and the installer write it.
void Register(FakeMachineProbe& machine, const std::string& label, const std::string& name, const std::string& path) {
  FakeMachineProbe::Key& key = machine.keys[{label, kPlugins + name}];
  key.values["Path"] = path;
  key.values["ProductName"] = "TarvoUsbICReaderPlugIn";
  key.values["Version"] = "1.0.0.1";
}

// The x64 package's per-machine plug-in: a DLL of each width, each view naming its own.
void InstallPerMachine(FakeMachineProbe& machine) {
  machine.files[kDll32] = Dll(kMachineI386);
  machine.files[kDll64] = Dll(kMachineAmd64);
  Register(machine, "HKLM (32-bit view)", kName, kDll32);
  Register(machine, "HKLM (64-bit view)", kName, kDll64);
}

struct Case {
  const char* why;
  std::function<void(FakeMachineProbe&)> arrange;
  int exitCode;
  std::vector<std::string> mentions;
  std::vector<std::string> absent;
};

void Check(const Case& c) {
  FakeMachineProbe machine;
  c.arrange(machine);
  std::ostringstream out;
  const int code = RunPluginCheck(machine, out);
  const std::string text = out.str();
  EXPECT_EQ(code, c.exitCode) << c.why << "\n" << text;
  for (const std::string& mention : c.mentions) EXPECT_THAT(text, HasSubstr(mention)) << c.why << "\n" << text;
  for (const std::string& absent : c.absent) EXPECT_THAT(text, Not(HasSubstr(absent))) << c.why << "\n" << text;
}

TEST(PluginCheck, SoundInstallationsAreOkAndSayWhichBrowsersLoadWhat) {
  const Case cases[] = {
      {"the x64 package per machine",
       InstallPerMachine,
       kExitOk,
       {"HKLM (32-bit view)\\" + kPlugins + kName + "\n    Path: " + kDll32 +
            "\n    DLL:  32-bit (i386), version 1.0.0.1\n    ok: 32-bit browsers load it",
        "HKLM (64-bit view)\\" + kPlugins + kName + "\n    Path: " + kDll64 + "\n    DLL:  64-bit (x86-64)",
        "32-bit browsers: HKLM (32-bit view)\\", "64-bit browsers: HKLM (64-bit view)\\", "Result: ok"},
       {"PROBLEM"}},
      {"the per-user pair on 64-bit Windows: one key each, both in the shared HKCU",
       [](FakeMachineProbe& m) {
         m.files[kUserDll32] = Dll(kMachineI386);
         m.files[kUserDll64] = Dll(kMachineAmd64);
         Register(m, "HKCU", kName, kUserDll32);
         Register(m, "HKCU", kX64Name, kUserDll64);
       },
       kExitOk,
       {"32-bit browsers: HKCU\\" + kPlugins + kName + "\n", "64-bit browsers: HKCU\\" + kPlugins + kX64Name + "\n"},
       {"PROBLEM"}},
      {"only the 32-bit per-user registration: 64-bit browsers have none, which is no fault",
       [](FakeMachineProbe& m) {
         m.files[kUserDll32] = Dll(kMachineI386);
         Register(m, "HKCU", kName, kUserDll32);
       },
       kExitOk,
       {"64-bit browsers: none\n"},
       {"PROBLEM"}},
      {"32-bit Windows: one HKLM, and no 64-bit browsers",
       [](FakeMachineProbe& m) {
         m.is64 = false;
         m.files[kDll64] = Dll(kMachineI386);
         Register(m, "HKLM", kName, kDll64);
       },
       kExitOk,
       {"HKLM\\" + kPlugins + kName, "32-bit browsers: HKLM\\"},
       {"PROBLEM", "64-bit browsers"}},
      {"key names in another case, and other vendors' plug-ins beside ours",
       [](FakeMachineProbe& m) {
         InstallPerMachine(m);
         m.keys[{"HKLM (64-bit view)", kPlugins + "@adobe.com/FlashPlayer"}].values["Path"] = "C:\\gone.dll";
         m.keys[{"HKCU", kPlugins + "@tarvo.example/other"}].values["Path"] = "C:\\gone.dll";
         m.keys[{"HKLM (32-bit view)", kPlugins + "@TARVO/nptarvx,version=1.0.0.2"}] =
             m.keys[{"HKLM (32-bit view)", kPlugins + kName}];
       },
       kExitOk,
       {"@TARVO/nptarvx,version=1.0.0.2\n    Path: " + kDll32},
       {"PROBLEM", "Flash", "@tarvo.example"}},
  };
  for (const Case& c : cases) Check(c);
}

TEST(PluginCheck, BrokenRegistrationsSayWhatIsWrongAndHowToRepairIt) {
  const std::string x64Repair = "tarvx-reader-<version>-x64.msi ADDLOCAL=Plugin";
  const Case cases[] = {
      {"nothing registered",
       [](FakeMachineProbe&) {},
       kExitFailed,
       {"not registered: no key Software\\MozillaPlugins\\@tarvo/npTARVX... under HKCU or HKLM",
        "do not find the card reader's plug-in", "tarvx-reader-<version>-x64.msi", "-user.msi", "ADDLOCAL=Plugin",
        "register-*.reg", "Result: 1 problem found"},
       {"Browsers that find"}},
      {"the 64-bit view's DLL deleted",
       [](FakeMachineProbe& m) {
         InstallPerMachine(m);
         m.files.erase(kDll64);
       },
       kExitFailed,
       {"PROBLEM: the DLL does not exist: " + kDll64, x64Repair, "x64\\npTARVX.dll",
        "register-machine-x64-browsers.reg", "64-bit browsers: none", "Result: 1 problem found"},
       {"register-machine-64bit-windows.reg"}},
      {"the 64-bit DLL copied into the 32-bit view's folder",
       [](FakeMachineProbe& m) {
         InstallPerMachine(m);
         m.files[kDll32] = Dll(kMachineAmd64);
       },
       kExitFailed,
       {"PROBLEM: the DLL is 64-bit (x86-64), but only 32-bit browsers read this key: they cannot load it",
        "copy npTARVX.dll\n             to the folder register-machine-64bit-windows.reg names", x64Repair,
        "32-bit browsers: none"},
       {}},
      {"the 32-bit DLL in the 64-bit view",
       [](FakeMachineProbe& m) {
         InstallPerMachine(m);
         m.files[kDll64] = Dll(kMachineI386);
       },
       kExitFailed,
       {"PROBLEM: the DLL is 32-bit (i386), but only 64-bit browsers read this key"},
       {}},
      {"a DLL for ARM64 in HKCU",
       [](FakeMachineProbe& m) {
         m.files[kUserDll64] = Dll(0xAA64);
         Register(m, "HKCU", kX64Name, kUserDll64);
       },
       kExitFailed,
       {"the DLL is for another processor (machine 0xAA64): no browser on this Windows can load it",
        "tarvx-reader-<version>-user.msi ADDLOCAL=Plugin", "register-user-x64-browsers.reg"},
       {}},
      {"a 64-bit DLL on 32-bit Windows, per user",
       [](FakeMachineProbe& m) {
         m.is64 = false;
         m.files[kUserDll32] = Dll(kMachineAmd64);
         Register(m, "HKCU", kName, kUserDll32);
       },
       kExitFailed,
       {"only 32-bit browsers read this key", "register-user.reg"},
       {}},
      {"a 32-bit Windows' HKLM without Path",
       [](FakeMachineProbe& m) {
         m.is64 = false;
         Register(m, "HKLM", kName, "");
       },
       kExitFailed,
       {"PROBLEM: the key has no Path value naming the DLL", "tarvx-reader-<version>-x86.msi ADDLOCAL=Plugin",
        "register-machine-32bit-windows.reg"},
       {}},
      {"Path names a text file",
       [](FakeMachineProbe& m) {
         InstallPerMachine(m);
         m.files[kDll32] = "not a DLL at all, but long enough to hold a DOS header if it were one.....";
       },
       kExitFailed,
       {"PROBLEM: the file is not a DLL: it is not a program file (no MZ header)"},
       {}},
      {"Path names a program",
       [](FakeMachineProbe& m) {
         InstallPerMachine(m);
         PeFixture program;
         program.isDll = false;
         m.files[kDll32] = program.Build();
       },
       kExitFailed,
       {"PROBLEM: the file is not a DLL: it is a program"},
       {}},
      {"a DLL without the NPAPI exports",
       [](FakeMachineProbe& m) {
         InstallPerMachine(m);
         PeFixture other;
         other.exports = {"DllMain", "NP_Shutdown"};
         m.files[kDll32] = other.Build();
       },
       kExitFailed,
       {"PROBLEM: the DLL does not export NP_GetEntryPoints, NP_Initialize: it is not the card reader's plug-in"},
       {}},
      {"two faults in one registration and one in another count as three",
       [](FakeMachineProbe& m) {
         InstallPerMachine(m);
         PeFixture wrong;
         wrong.machine = kMachineAmd64;
         wrong.exports.clear();
         m.files[kDll32] = wrong.Build();
         Register(m, "HKCU", kName, "C:\\nowhere\\npTARVX.dll");
       },
       kExitFailed,
       {"does not exist: C:\\nowhere", "Result: 3 problems found"},
       {}},
  };
  for (const Case& c : cases) Check(c);
}

}  // namespace
