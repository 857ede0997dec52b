#include "tools/diag/BridgeCheck.h"

#include <cstddef>
#include <string>
#include <vector>

#include "tools/diag/BridgeNames.h"
#include "tools/diag/CheckReport.h"
#include "tools/diag/HostManifestCheck.h"
#include "tools/diag/InstallAdvice.h"
#include "tools/diag/PolicyCheck.h"

namespace {

// A manifest is a few hundred bytes; anything this large is not one.
constexpr std::size_t kMaxManifestBytes = 1 << 20;

void CheckRegistration(const MachineProbe& probe, const BridgeNames::WindowsBrowser& browser,
                       const RegistryEntry& entry, CheckReport& report) {
  if (!entry.defaultValue || entry.defaultValue->empty()) {
    report.Problem("the key's default value does not name the manifest file", kReinstallAdvice);
    return;
  }
  const std::string& manifestPath = *entry.defaultValue;
  report.Out() << "    manifest: " << manifestPath << "\n";
  const std::optional<std::string> text = probe.ReadFile(manifestPath, kMaxManifestBytes);
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

void CheckBrowser(const MachineProbe& probe, const BridgeNames::WindowsBrowser& browser, CheckReport& report) {
  report.Out() << "\n" << browser.name << "\n";
  const std::string key = std::string(browser.key) + "\\" + BridgeNames::kHostName;
  HostRegistration host;
  for (const RegistryLocation& location : BrowserRegistryLocations(probe.Is64BitWindows())) {
    const RegistryEntry entry = probe.ReadKey(location, key);
    if (!entry.keyExists) continue;
    (location.hive == RegistryHive::CurrentUser ? host.perUser : host.perMachine) = true;
    report.Out() << "  " << location.label << "\\" << key << "\n";
    CheckRegistration(probe, browser, entry, report);
  }
  if (!host.perUser && !host.perMachine) {
    report.Out() << "  not registered: no key " << key << " under HKCU or HKLM\n";
    report.Problem(browser.name + std::string(" cannot start the card reader's host"),
                   InstallAdvice("the bridge", "Bridge"));
  }
  CheckPolicies(probe, browser, host, report);
}

}  // namespace

int RunBridgeCheck(const MachineProbe& probe, std::ostream& out) {
  CheckReport report(out);
  out << "Bridge for Chrome, Edge and Firefox: native messaging host " << BridgeNames::kHostName << "\n";
  for (const BridgeNames::WindowsBrowser& browser : BridgeNames::kWindowsBrowsers) CheckBrowser(probe, browser, report);
  return report.Finish("Chrome, Edge and Firefox find the host; each browser also needs the extension.");
}
