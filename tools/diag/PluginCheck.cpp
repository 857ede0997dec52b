#include "tools/diag/PluginCheck.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "tools/diag/CheckReport.h"
#include "tools/diag/InstallAdvice.h"
#include "tools/diag/PeImage.h"

namespace {

const char* const kPluginsKey = "Software\\MozillaPlugins";
// The 32-bit registration's name; the per-user 64-bit one adds "-x64" so that both fit in
// the one HKCU\Software.
const char* const kKeyPrefix = "@tarvo/npTARVX";
const char* const kX64KeyPrefix = "@tarvo/npTARVX-x64";
const char* const kEntryPoints[] = {"NP_GetEntryPoints", "NP_Initialize", "NP_Shutdown"};
// The plug-in is a few hundred kilobytes; a file this large is not it.
constexpr std::size_t kMaxDllBytes = std::size_t{64} << 20;

enum class Width { Bits32, Bits64 };

const char* BrowsersOf(Width width) { return width == Width::Bits32 ? "32-bit browsers" : "64-bit browsers"; }

std::optional<Width> WidthOf(std::uint16_t machine) {
  if (machine == kMachineI386) return Width::Bits32;
  if (machine == kMachineAmd64) return Width::Bits64;
  return std::nullopt;
}

// Registry names ignore case.
bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
         });
}

// One registration: where it is, and what the installer puts there.
struct Registration {
  RegistryLocation location;
  bool is64BitWindows;
  std::string name;  // the subkey of MozillaPlugins

  std::string Key() const { return std::string(kPluginsKey) + "\\" + name; }

  // The only width that reads this key, where only one does: the machine's views, and the
  // one HKLM of 32-bit Windows. HKCU on 64-bit Windows serves both.
  std::optional<Width> ReadOnlyBy() const {
    if (location.view == RegistryView::Bits32 || !is64BitWindows) return Width::Bits32;
    if (location.view == RegistryView::Bits64) return Width::Bits64;
    return std::nullopt;
  }

  // The width the installer registers here: by the view, or in HKCU by the key's name.
  Width Intended() const {
    if (const std::optional<Width> only = ReadOnlyBy()) return *only;
    return StartsWithIgnoringCase(name, kX64KeyPrefix) ? Width::Bits64 : Width::Bits32;
  }

  std::string Repair() const {
    const bool user = location.hive == RegistryHive::CurrentUser;
    const std::string package = PackageFile(user ? "user" : (is64BitWindows ? "x64" : "x86"));
    const bool x64 = Intended() == Width::Bits64;
    const char* regFile = nullptr;
    if (user) {
      regFile = x64 ? "register-user-x64-browsers.reg" : "register-user.reg";
    } else if (!is64BitWindows) {
      regFile = "register-machine-32bit-windows.reg";
    } else {
      regFile = x64 ? "register-machine-x64-browsers.reg" : "register-machine-64bit-windows.reg";
    }
    return "Reinstall the plug-in: " + package + " with its Plugin feature (msiexec /i\n             " + package +
           " ADDLOCAL=Plugin); or from the release package copy " + (x64 ? "x64\\npTARVX.dll" : "npTARVX.dll") +
           "\n             to the folder " + regFile + " names and import that file.";
  }
};

std::string MissingEntryPoints(const std::vector<std::string>& exportNames) {
  std::string missing;
  for (const char* entryPoint : kEntryPoints) {
    if (std::find(exportNames.begin(), exportNames.end(), entryPoint) != exportNames.end()) continue;
    missing += (missing.empty() ? "" : ", ") + std::string(entryPoint);
  }
  return missing;
}

// Whether the browsers that read the key can load a DLL for `machine`; the problem if not.
std::optional<std::string> MachineProblem(const Registration& registration, std::uint16_t machine) {
  const std::optional<Width> width = WidthOf(machine);
  const std::optional<Width> only = registration.ReadOnlyBy();
  if (only && width != only) {
    return "the DLL is " + MachineName(machine) + ", but only " + BrowsersOf(*only) +
           " read this key: they cannot load it";
  }
  if (!width) return "the DLL is " + MachineName(machine) + ": no browser on this Windows can load it";
  return std::nullopt;
}

// Checks one registration as the browsers that read it would load it; the width of the
// browsers that load it when it is sound.
std::optional<Width> CheckRegistration(const MachineProbe& probe, const Registration& registration,
                                       CheckReport& report) {
  const std::string repair = registration.Repair();
  const std::optional<std::string> path = probe.ReadString(registration.location, registration.Key(), "Path");
  if (!path || path->empty()) {
    report.Problem("the key has no Path value naming the DLL", repair);
    return std::nullopt;
  }
  report.Out() << "    Path: " << *path << "\n";
  if (!probe.IsFile(*path)) {
    report.Problem("the DLL does not exist: " + *path, repair);
    return std::nullopt;
  }
  const std::optional<std::string> bytes = probe.ReadFile(*path, kMaxDllBytes);
  if (!bytes) {
    report.Problem("the DLL cannot be read (access refused, or the file is far too large)", repair);
    return std::nullopt;
  }
  const PeImage image = ReadPeImage(*bytes);
  if (!image.error.empty() || !image.isDll) {
    report.Problem("the file is not a DLL: " + (image.error.empty() ? "it is a program" : image.error), repair);
    return std::nullopt;
  }
  report.Out() << "    DLL:  " << MachineName(image.machine)
               << (image.fileVersion ? ", version " + *image.fileVersion : std::string()) << "\n";
  bool sound = true;
  if (const std::optional<std::string> problem = MachineProblem(registration, image.machine)) {
    report.Problem(*problem, repair);
    sound = false;
  }
  const std::string missing = MissingEntryPoints(image.exportNames);
  if (!missing.empty()) {
    report.Problem("the DLL does not export " + missing + ": it is not the card reader's plug-in", repair);
    sound = false;
  }
  if (!sound) return std::nullopt;
  report.Out() << "    ok: " << BrowsersOf(*WidthOf(image.machine)) << " load it\n";
  return WidthOf(image.machine);
}

struct Working {
  std::vector<std::string> bits32;  // the sound registrations, by the browsers that load them
  std::vector<std::string> bits64;
};

void PrintWhoLoadsIt(const Working& working, bool is64BitWindows, std::ostream& out) {
  out << "\n  Browsers that find a working registration:\n";
  const auto print = [&out](Width width, const std::vector<std::string>& where) {
    out << "    " << BrowsersOf(width) << ": ";
    if (where.empty()) out << "none\n";
    for (std::size_t i = 0; i < where.size(); ++i) out << (i == 0 ? "" : "      and ") << where[i] << "\n";
  };
  print(Width::Bits32, working.bits32);
  if (is64BitWindows) print(Width::Bits64, working.bits64);
}

}  // namespace

int RunPluginCheck(const MachineProbe& probe, std::ostream& out) {
  CheckReport report(out);
  const bool is64 = probe.Is64BitWindows();
  out << "NPAPI plug-in npTARVX.dll (Pale Moon, Firefox 52 ESR and other browsers that load plug-ins)\n";
  Working working;
  bool registered = false;
  for (const RegistryLocation& location : BrowserRegistryLocations(is64)) {
    for (const std::string& name : probe.SubkeyNames(location, kPluginsKey)) {
      if (!StartsWithIgnoringCase(name, kKeyPrefix)) continue;
      registered = true;
      const Registration registration{location, is64, name};
      out << "  " << location.label << "\\" << registration.Key() << "\n";
      const std::optional<Width> loadedBy = CheckRegistration(probe, registration, report);
      if (loadedBy) {
        (*loadedBy == Width::Bits32 ? working.bits32 : working.bits64)
            .push_back(location.label + ("\\" + registration.Key()));
      }
    }
  }
  if (!registered) {
    out << "  not registered: no key " << kPluginsKey << "\\" << kKeyPrefix << "... under HKCU or HKLM\n";
    report.Problem("browsers that load NPAPI plug-ins do not find the card reader's plug-in",
                   InstallAdvice("the plug-in", "Plugin") +
                       "\n             Or from the release package copy the DLL and import the matching"
                       " register-*.reg (INSTALL.md).");
  } else {
    PrintWhoLoadsIt(working, is64, out);
  }
  return report.Finish("Browsers that load NPAPI plug-ins find the card reader's plug-in.");
}
