#include "tools/diag/BridgeCheck.h"

#include <string>
#include <vector>

#include "tools/diag/BridgeNames.h"
#include "tools/diag/ExitCodes.h"
#include "tools/diag/HostManifestCheck.h"

namespace {

const char* const kInstall =
    "Install the bridge: tarvx-bridge-<version>-x64.msi on 64-bit Windows or -x86.msi on 32-bit\n"
    "             Windows (all users, needs administrator rights), or -user.msi for this user only.";

// Where the browsers look, in the order Chrome and Edge do: the user's key first, then
// the machine's, its 32-bit view before the 64-bit one. HKCU\Software is one key in
// both views.
std::vector<RegistryLocation> Locations(bool is64BitWindows) {
  if (!is64BitWindows) {
    return {{RegistryHive::CurrentUser, RegistryView::Shared, "HKCU"},
            {RegistryHive::LocalMachine, RegistryView::Shared, "HKLM"}};
  }
  return {{RegistryHive::CurrentUser, RegistryView::Shared, "HKCU"},
          {RegistryHive::LocalMachine, RegistryView::Bits32, "HKLM (32-bit view)"},
          {RegistryHive::LocalMachine, RegistryView::Bits64, "HKLM (64-bit view)"}};
}

class Report {
 public:
  explicit Report(std::ostream& out) : m_out(out) {}

  void Problem(const std::string& what, const std::string& fix) {
    m_out << "    PROBLEM: " << what << "\n    To fix:  " << fix << "\n";
    ++m_problems;
  }
  int Problems() const { return m_problems; }
  std::ostream& Out() { return m_out; }

 private:
  std::ostream& m_out;
  int m_problems = 0;
};

void CheckRegistration(const BridgeProbe& probe, const BridgeNames::WindowsBrowser& browser, const RegistryEntry& entry,
                       Report& report) {
  if (!entry.defaultValue || entry.defaultValue->empty()) {
    report.Problem("the key's default value does not name the manifest file", kReinstallAdvice);
    return;
  }
  const std::string& manifestPath = *entry.defaultValue;
  report.Out() << "    manifest: " << manifestPath << "\n";
  const std::optional<std::string> text = probe.ReadFile(manifestPath);
  if (!text) {
    report.Problem("the manifest file is missing or cannot be read", kReinstallAdvice);
    return;
  }
  const ManifestCheck check = CheckHostManifest(*text, manifestPath, browser.family,
                                                [&probe](const std::string& path) { return probe.IsFile(path); });
  for (const ManifestProblem& problem : check.problems) report.Problem(problem.what, problem.fix);
  if (check.problems.empty()) {
    report.Out() << "    " << BridgeNames::kHostName << ": ok, starts " << check.hostPath << "\n";
  }
}

void CheckBrowser(const BridgeProbe& probe, const BridgeNames::WindowsBrowser& browser, Report& report) {
  report.Out() << "\n" << browser.name << "\n";
  const std::string key = std::string(browser.key) + "\\" + BridgeNames::kHostName;
  bool registered = false;
  for (const RegistryLocation& location : Locations(probe.Is64BitWindows())) {
    const RegistryEntry entry = probe.ReadKey(location, key);
    if (!entry.keyExists) continue;
    registered = true;
    report.Out() << "  " << location.label << "\\" << key << "\n";
    CheckRegistration(probe, browser, entry, report);
  }
  if (!registered) {
    report.Out() << "  not registered: no key " << key << " under HKCU or HKLM\n";
    report.Problem(browser.name + std::string(" cannot start the card reader's host"), kInstall);
  }
}

}  // namespace

int RunBridgeCheck(const BridgeProbe& probe, std::ostream& out) {
  Report report(out);
  out << "Bridge for Chrome, Edge and Firefox: native messaging host " << BridgeNames::kHostName << "\n";
  for (const BridgeNames::WindowsBrowser& browser : BridgeNames::kWindowsBrowsers) CheckBrowser(probe, browser, report);
  out << "\n";
  if (report.Problems() == 0) {
    out << "Result: ok. Chrome, Edge and Firefox find the host; each browser also needs the extension.\n";
    return kExitOk;
  }
  out << "Result: " << report.Problems() << (report.Problems() == 1 ? " problem" : " problems")
      << " found; see PROBLEM and To fix above.\n";
  return kExitFailed;
}
