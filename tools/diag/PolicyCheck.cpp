#include "tools/diag/PolicyCheck.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/diag/AllowedOrigin.h"
#include "tools/diag/BrowserJson.h"

namespace {

using BridgeNames::ManifestFamily;
using BridgeNames::WindowsBrowser;

// Policies live in one key for both registry views (SOFTWARE\Policies is shared); a
// machine's policy wins over the user's of the same name.
const RegistryLocation kMachine{RegistryHive::LocalMachine, RegistryView::Shared, "HKLM"};
const RegistryLocation kUser{RegistryHive::CurrentUser, RegistryView::Shared, "HKCU"};

constexpr const char* kOriginAdvice =
    "Write the origin as the browser writes it: scheme://host[:port], lower case, the port only\n"
    "             when it is not the scheme's own, no path, no wildcard (INSTALL.md, \"The allowed origins\").";
// A policies.json larger than this is not one an administrator wrote.
constexpr std::size_t kMaxPolicyFileBytes = 4 << 20;

// One entry of a policy list, and where a technician finds it.
struct ListEntry {
  std::string where;
  std::string value;
};

// The numbered values of a list policy (a key whose values "1", "2", ... are the items), in
// their numbers' order.
std::vector<ListEntry> ReadList(const MachineProbe& probe, const RegistryLocation& location, const std::string& key) {
  std::vector<std::pair<std::string, std::string>> named;
  for (const std::string& name : probe.ValueNames(location, key)) {
    if (const std::optional<std::string> value = probe.ReadString(location, key, name))
      named.emplace_back(name, *value);
  }
  std::stable_sort(named.begin(), named.end(), [](const auto& a, const auto& b) {
    return a.first.size() != b.first.size() ? a.first.size() < b.first.size() : a.first < b.first;
  });
  std::vector<ListEntry> entries;
  for (const auto& [name, value] : named)
    entries.push_back({std::string(location.label) + "\\" + key + "\\" + name, value});
  return entries;
}

// The list the browser uses: the machine's when it has one, else the user's.
std::vector<ListEntry> EffectiveList(const MachineProbe& probe, const std::string& key) {
  std::vector<ListEntry> machine = ReadList(probe, kMachine, key);
  return machine.empty() ? ReadList(probe, kUser, key) : machine;
}

bool Names(const std::vector<ListEntry>& list, const std::string& item) {
  return std::any_of(list.begin(), list.end(), [&item](const ListEntry& e) { return e.value == item; });
}

std::vector<std::string> OurIds(const WindowsBrowser& browser) {
  return {browser.extensionIds, browser.extensionIds + browser.extensionIdCount};
}

// Each entry of an allowed-origins list as the extension takes it; the ignored ones are
// problems, for they are dropped without a word in the browser.
void ReportOrigins(const std::vector<ListEntry>& entries, const std::string& source, CheckReport& report) {
  std::vector<std::string> taken;
  for (const ListEntry& entry : entries) {
    const OriginVerdict verdict = ParseAllowedOrigin(entry.value);
    // Entries written differently may name one origin: it is listed once.
    if (verdict.origin && std::find(taken.begin(), taken.end(), *verdict.origin) == taken.end()) {
      taken.push_back(*verdict.origin);
    }
  }
  std::string listed;
  for (const std::string& origin : taken) listed += (listed.empty() ? "" : ", ") + origin;
  report.Out() << "    allowed origins (" << source << "): " << (listed.empty() ? "none usable" : listed) << "\n";
  for (const ListEntry& entry : entries) {
    const OriginVerdict verdict = ParseAllowedOrigin(entry.value);
    if (!verdict.origin) {
      report.Problem(entry.where + " = \"" + entry.value + "\" is ignored by the extension: " + verdict.why,
                     kOriginAdvice);
    }
  }
}

void NoOriginsByPolicy(CheckReport& report) {
  report.Out() << "    allowed origins: none by policy (pages get cards only where a user allows their origin in the\n"
                  "      extension's popup; on a kiosk, set the list by policy)\n";
}

void CheckChromiumPolicies(const MachineProbe& probe, const WindowsBrowser& browser, const HostRegistration& host,
                           CheckReport& report) {
  const std::string root = browser.policies;
  const std::vector<std::string> ids = OurIds(browser);
  report.Out() << "  Policies (HKLM and HKCU\\" << root << ")\n";

  // Forced: an entry "<id>" or "<id>;<update URL>" of ours.
  bool forced = false;
  for (const ListEntry& entry : EffectiveList(probe, root + "\\ExtensionInstallForcelist")) {
    const std::string id = entry.value.substr(0, entry.value.find(';'));
    if (std::find(ids.begin(), ids.end(), id) == ids.end()) continue;
    report.Out() << "    extension: force-installed, " << entry.where << " = " << entry.value << "\n";
    forced = true;
  }
  if (!forced) {
    report.Out() << "    extension: not force-installed by policy (on a kiosk, force it: INSTALL.md, \"Kiosk "
                    "checklists\")\n";
  }

  // Blocked: "*" or one of our ids, unless allowed by id or forced (a forced one is installed).
  const std::vector<ListEntry> blocked = EffectiveList(probe, root + "\\ExtensionInstallBlocklist");
  const std::vector<ListEntry> allowed = EffectiveList(probe, root + "\\ExtensionInstallAllowlist");
  for (const std::string& id : ids) {
    if (forced || Names(allowed, id) || !(Names(blocked, "*") || Names(blocked, id))) continue;
    report.Problem("the policy ExtensionInstallBlocklist blocks the extension (" + id + ")",
                   "Add " + id + " to ExtensionInstallAllowlist, or force-install it (ExtensionInstallForcelist).");
  }

  // Native messaging to our host: blocked by "*" or its name unless allowed by name.
  const std::vector<ListEntry> nmBlocked = EffectiveList(probe, root + "\\NativeMessagingBlocklist");
  const std::vector<ListEntry> nmAllowed = EffectiveList(probe, root + "\\NativeMessagingAllowlist");
  const std::string hostName = BridgeNames::kHostName;
  if ((Names(nmBlocked, "*") || Names(nmBlocked, hostName)) && !Names(nmAllowed, hostName)) {
    report.Problem("the policy NativeMessagingBlocklist blocks the host " + hostName,
                   "Add " + hostName + " to NativeMessagingAllowlist.");
  }

  // Hosts registered per user, refused by policy where ours is registered only so.
  std::optional<std::uint32_t> userLevel = probe.ReadDword(kMachine, root, "NativeMessagingUserLevelHosts");
  if (!userLevel) userLevel = probe.ReadDword(kUser, root, "NativeMessagingUserLevelHosts");
  if (userLevel && *userLevel == 0 && host.perUser && !host.perMachine) {
    report.Problem(
        "the host is registered for this user only, and the policy NativeMessagingUserLevelHosts = 0 "
        "refuses such hosts",
        "Install the per-machine package (tarvx-reader-<version>-x64.msi, or -x86.msi on 32-bit "
        "Windows).");
  }

  // The allowed origins, per id of ours.
  bool any = false;
  for (const std::string& id : ids) {
    const std::string key = root + "\\3rdparty\\extensions\\" + id + "\\policy\\allowedOrigins";
    const std::vector<ListEntry> entries = EffectiveList(probe, key);
    if (entries.empty()) continue;
    any = true;
    ReportOrigins(entries, id, report);
  }
  if (!any) NoOriginsByPolicy(report);
}

// Firefox: the registry's policies (Group Policy) when it has any, else policies.json
// beside the browser; both say the same things in the same shapes.
struct FirefoxPolicies {
  std::string source;
  std::optional<nlohmann::json> extensionSettings;  // ExtensionSettings
  std::vector<ListEntry> origins;                   // 3rdparty.Extensions.<id>.allowedOrigins
};

std::optional<FirefoxPolicies> FirefoxFromRegistry(const MachineProbe& probe, const std::string& root,
                                                   const std::string& id, CheckReport& report) {
  for (const RegistryLocation& location : {kMachine, kUser}) {
    const RegistryEntry entry = probe.ReadKey(location, root);
    if (!entry.keyExists) continue;
    FirefoxPolicies policies;
    policies.source = std::string(location.label) + "\\" + root;
    if (const std::optional<std::string> text = probe.ReadString(location, root, "ExtensionSettings")) {
      policies.extensionSettings = ReadBrowserJson(*text).object;
      if (!policies.extensionSettings) {
        report.Problem(policies.source + "\\ExtensionSettings is not a JSON object", "Write it as INSTALL.md shows.");
      }
    }
    policies.origins = ReadList(probe, location, root + "\\3rdparty\\Extensions\\" + id + "\\allowedOrigins");
    return policies;
  }
  return std::nullopt;
}

std::optional<FirefoxPolicies> FirefoxFromFile(const MachineProbe& probe, const std::string& id, CheckReport& report) {
  for (const char* path : {"C:\\Program Files\\Mozilla Firefox\\distribution\\policies.json",
                           "C:\\Program Files (x86)\\Mozilla Firefox\\distribution\\policies.json"}) {
    const std::optional<std::string> text = probe.ReadFile(path, kMaxPolicyFileBytes);
    if (!text) continue;
    FirefoxPolicies policies;
    policies.source = path;
    const std::optional<nlohmann::json> file = ReadBrowserJson(*text).object;
    const nlohmann::json* all = Member(file ? &*file : nullptr, "policies");
    if (all == nullptr || !all->is_object()) {
      report.Problem(std::string(path) + " is not JSON with a \"policies\" object: Firefox ignores it",
                     "Write it as INSTALL.md shows (policies/firefox-policies.json in the release package).");
      return policies;
    }
    if (const nlohmann::json* settings = Member(all, "ExtensionSettings")) policies.extensionSettings = *settings;
    const nlohmann::json* third = Member(all, "3rdparty");
    const nlohmann::json* extensions = Member(third, "Extensions");
    const nlohmann::json* ours = Member(extensions, id);
    const nlohmann::json* origins = Member(ours, "allowedOrigins");
    if (origins != nullptr && origins->is_array()) {
      std::size_t index = 0;
      for (const nlohmann::json& item : *origins) {
        const std::string where = std::string(path) + ": allowedOrigins[" + std::to_string(index++) + "]";
        const std::string* origin = StringOf(&item);
        policies.origins.push_back({where, origin != nullptr ? *origin : std::string("(not a string)")});
      }
    }
    return policies;
  }
  return std::nullopt;
}

std::string InstallationMode(const std::optional<nlohmann::json>& settings, const std::string& key) {
  const nlohmann::json* entry = Member(settings ? &*settings : nullptr, key);
  const std::string* mode = StringOf(Member(entry, "installation_mode"));
  return mode != nullptr ? *mode : "";
}

void CheckFirefoxPolicies(const MachineProbe& probe, const WindowsBrowser& browser, CheckReport& report) {
  const std::string id = browser.extensionIds[0];
  std::optional<FirefoxPolicies> policies = FirefoxFromRegistry(probe, browser.policies, id, report);
  if (!policies) policies = FirefoxFromFile(probe, id, report);
  if (!policies) {
    report.Out() << "  Policies: none (no " << browser.policies << " under HKLM or HKCU, no policies.json)\n"
                 << "    extension: not force-installed by policy\n";
    NoOriginsByPolicy(report);
    return;
  }
  report.Out() << "  Policies (" << policies->source << ")\n";
  const std::string ours = InstallationMode(policies->extensionSettings, id);
  if (ours == "force_installed" || ours == "normal_installed") {
    report.Out() << "    extension: " << (ours == "force_installed" ? "force-installed" : "installed")
                 << " (ExtensionSettings)\n";
  } else {
    report.Out() << "    extension: not force-installed by policy (on a kiosk, force it: INSTALL.md, \"Kiosk "
                    "checklists\")\n";
  }
  if (ours == "blocked" || (ours.empty() && InstallationMode(policies->extensionSettings, "*") == "blocked")) {
    report.Problem("the policy ExtensionSettings blocks the add-on (" + id + ")",
                   "Give \"" + id + "\" an entry of its own with \"installation_mode\": \"force_installed\".");
  }
  if (policies->origins.empty()) {
    NoOriginsByPolicy(report);
  } else {
    ReportOrigins(policies->origins, id, report);
  }
}

}  // namespace

void CheckPolicies(const MachineProbe& probe, const WindowsBrowser& browser, const HostRegistration& host,
                   CheckReport& report) {
  if (browser.family == ManifestFamily::Chromium) {
    CheckChromiumPolicies(probe, browser, host, report);
  } else {
    CheckFirefoxPolicies(probe, browser, report);
  }
}
