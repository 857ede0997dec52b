// tarvx-diag --bridge's reading of the browsers' policies, on machines the tests describe:
// what forces, blocks or allows our extension and host, and every allowed-origins entry the
// extension would ignore.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/diag/FakeMachineProbe.h"
#include "tools/diag/BridgeNames.h"
#include "tools/diag/CheckReport.h"
#include "tools/diag/PolicyCheck.h"

namespace {

using testing::HasSubstr;
using testing::Not;

const BridgeNames::WindowsBrowser& Browser(const std::string& name) {
  for (const BridgeNames::WindowsBrowser& browser : BridgeNames::kWindowsBrowsers) {
    if (name == browser.name) return browser;
  }
  throw std::invalid_argument(name);
}

const std::string kChrome = "SOFTWARE\\Policies\\Google\\Chrome";
const std::string kEdge = "SOFTWARE\\Policies\\Microsoft\\Edge";
const std::string kFirefox = "SOFTWARE\\Policies\\Mozilla\\Firefox";
const std::string kId = BridgeNames::kChromeExtensionIds[0];
const std::string kAddOn = BridgeNames::kFirefoxExtensionId;
const std::string kHost = BridgeNames::kHostName;
const std::string kPoliciesJson = "C:\\Program Files\\Mozilla Firefox\\distribution\\policies.json";

struct PolicyReport {
  std::string out;
  int problems;
};

PolicyReport Check(const FakeMachineProbe& probe, const std::string& browser, HostRegistration host = {false, true}) {
  std::ostringstream out;
  CheckReport report(out);
  CheckPolicies(probe, Browser(browser), host, report);
  return {out.str(), report.Problems()};
}

void List(FakeMachineProbe& m, const std::string& hive, const std::string& key, const std::vector<std::string>& items) {
  FakeMachineProbe::Key& k = m.keys[{hive, key}];
  for (std::size_t i = 0; i < items.size(); ++i) k.values[std::to_string(i + 1)] = items[i];
}

struct Case {
  const char* why;
  std::string browser;
  std::function<void(FakeMachineProbe&)> machine;
  HostRegistration host;
  std::vector<std::string> mentions;
  int problems;
  std::vector<std::string> notMentioned = {};
};

template <std::size_t N>
void ExpectAll(const Case (&cases)[N]) {
  for (const Case& c : cases) {
    FakeMachineProbe machine;
    c.machine(machine);
    const PolicyReport report = Check(machine, c.browser, c.host);
    for (const std::string& text : c.mentions) EXPECT_THAT(report.out, HasSubstr(text)) << c.why << "\n" << report.out;
    for (const std::string& text : c.notMentioned) EXPECT_THAT(report.out, Not(HasSubstr(text))) << c.why;
    EXPECT_EQ(report.problems, c.problems) << c.why << "\n" << report.out;
  }
}

TEST(PolicyCheck, ChromiumPolicies) {
  const std::string origins = kChrome + "\\3rdparty\\extensions\\" + kId + "\\policy\\allowedOrigins";
  const Case cases[] = {
      {"no policies",
       "Chrome",
       [](FakeMachineProbe&) {},
       {false, true},
       {"extension: not force-installed by policy", "allowed origins: none by policy"},
       0},
      {"forced at the third place of the machine's list",
       "Chrome",
       [](FakeMachineProbe& m) {
         List(m, "HKLM", kChrome + "\\ExtensionInstallForcelist",
              {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa;https://x", "bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb",
               kId + ";https://u/x.xml"});
       },
       {false, true},
       {"extension: force-installed, HKLM\\" + kChrome + "\\ExtensionInstallForcelist\\3 = " + kId +
        ";https://u/x.xml"},
       0},
      {"another extension forced, not ours",
       "Chrome",
       [](FakeMachineProbe& m) { List(m, "HKLM", kChrome + "\\ExtensionInstallForcelist", {"aaaa;https://x"}); },
       {false, true},
       {"not force-installed"},
       0},
      {"every extension blocked",
       "Chrome",
       [](FakeMachineProbe& m) { List(m, "HKLM", kChrome + "\\ExtensionInstallBlocklist", {"*"}); },
       {false, true},
       {"ExtensionInstallBlocklist blocks the extension (" + kId + ")", "Add " + kId},
       1},
      {"every extension blocked but ours allowed",
       "Chrome",
       [](FakeMachineProbe& m) {
         List(m, "HKLM", kChrome + "\\ExtensionInstallBlocklist", {"*"});
         List(m, "HKLM", kChrome + "\\ExtensionInstallAllowlist", {kId});
       },
       {false, true},
       {},
       0},
      {"every extension blocked but ours forced",
       "Chrome",
       [](FakeMachineProbe& m) {
         List(m, "HKLM", kChrome + "\\ExtensionInstallBlocklist", {"*"});
         List(m, "HKLM", kChrome + "\\ExtensionInstallForcelist", {kId});
       },
       {false, true},
       {"force-installed"},
       0},
      {"the machine's blocklist wins over the user's",
       "Chrome",
       [](FakeMachineProbe& m) {
         List(m, "HKCU", kChrome + "\\ExtensionInstallBlocklist", {"*"});
         List(m, "HKLM", kChrome + "\\ExtensionInstallBlocklist", {"cccccccccccccccccccccccccccccccc"});
       },
       {false, true},
       {},
       0},
      {"the user's blocklist where the machine has none",
       "Chrome",
       [](FakeMachineProbe& m) { List(m, "HKCU", kChrome + "\\ExtensionInstallBlocklist", {kId}); },
       {false, true},
       {"blocks the extension"},
       1},
      {"native messaging blocked for every host",
       "Chrome",
       [](FakeMachineProbe& m) { List(m, "HKLM", kChrome + "\\NativeMessagingBlocklist", {"*"}); },
       {false, true},
       {"NativeMessagingBlocklist blocks the host " + kHost, "Add " + kHost + " to NativeMessagingAllowlist"},
       1},
      {"native messaging blocked, ours allowed",
       "Chrome",
       [](FakeMachineProbe& m) {
         List(m, "HKLM", kChrome + "\\NativeMessagingBlocklist", {"*"});
         List(m, "HKLM", kChrome + "\\NativeMessagingAllowlist", {kHost});
       },
       {false, true},
       {},
       0},
      {"another host blocked",
       "Chrome",
       [](FakeMachineProbe& m) { List(m, "HKLM", kChrome + "\\NativeMessagingBlocklist", {"com.other.host"}); },
       {false, true},
       {},
       0},
      {"per-user hosts refused, ours per user only",
       "Edge",
       [](FakeMachineProbe& m) {
         m.keys[{"HKLM", kEdge}].dwords["NativeMessagingUserLevelHosts"] = 0;
       },
       {true, false},
       {"registered for this user only", "NativeMessagingUserLevelHosts = 0", "-x64.msi"},
       1},
      {"per-user hosts refused, ours per machine too",
       "Edge",
       [](FakeMachineProbe& m) {
         m.keys[{"HKLM", kEdge}].dwords["NativeMessagingUserLevelHosts"] = 0;
       },
       {true, true},
       {},
       0},
      {"per-user hosts allowed",
       "Edge",
       [](FakeMachineProbe& m) {
         m.keys[{"HKLM", kEdge}].dwords["NativeMessagingUserLevelHosts"] = 1;
       },
       {true, false},
       {},
       0},
      {"origins, one forgiven and listed once, two ignored",
       "Chrome",
       [origins](FakeMachineProbe& m) {
         List(m, "HKLM", origins,
              {"https://shop.example", "https://Shop.example:443", "https://shop.example/cards", "http://127.1"});
       },
       {false, true},
       {"allowed origins (" + kId + "): https://shop.example\n",
        "HKLM\\" + origins + "\\3 = \"https://shop.example/cards\" is ignored by the extension: more than",
        "\\4 = \"http://127.1\" is ignored by the extension: an address not written", "The allowed origins"},
       2},
      {"the list in the tenth place sorts after the ninth",
       "Chrome",
       [origins](FakeMachineProbe& m) {
         List(
             m, "HKLM", origins,
             {"https://a.example", "https://b.example", "https://c.example", "https://d.example", "https://e.example",
              "https://f.example", "https://g.example", "https://h.example", "https://i.example", "https://j.example"});
       },
       {false, true},
       {"i.example, https://j.example\n"},
       0},
      {"Chrome's policies are not Edge's",
       "Edge",
       [origins](FakeMachineProbe& m) {
         List(m, "HKLM", origins, {"https://shop.example"});
         List(m, "HKLM", kChrome + "\\ExtensionInstallBlocklist", {"*"});
       },
       {false, true},
       {"allowed origins: none by policy"},
       0,
       {"shop.example"}},
  };
  ExpectAll(cases);
}

TEST(PolicyCheck, FirefoxPolicies) {
  const std::string json = [] {
    return "{\"policies\": {\"ExtensionSettings\": {\"" + kAddOn +
           "\": {\"installation_mode\": \"force_installed\", \"install_url\": \"https://x/a.xpi\"}},"
           " \"3rdparty\": {\"Extensions\": {\"" +
           kAddOn + "\": {\"allowedOrigins\": [\"https://shop.example\", \"https://shop.example/cards\"]}}}}}";
  }();
  const Case cases[] = {
      {"no policies anywhere", "Firefox", [](FakeMachineProbe&) {}, {}, {"Policies: none", "none by policy"}, 0},
      {"policies.json beside the browser",
       "Firefox",
       [json](FakeMachineProbe& m) { m.files[kPoliciesJson] = json; },
       {},
       {"Policies (" + kPoliciesJson + ")", "extension: force-installed",
        "allowed origins (" + kAddOn + "): https://shop.example\n",
        kPoliciesJson + ": allowedOrigins[1] = \"https://shop.example/cards\" is ignored by the extension: more than "
                        "an origin"},
       1},
      {"every add-on blocked",
       "Firefox",
       [](FakeMachineProbe& m) {
         m.files[kPoliciesJson] = R"({"policies": {"ExtensionSettings": {"*": {"installation_mode": "blocked"}}}})";
       },
       {},
       {"ExtensionSettings blocks the add-on (" + kAddOn + ")"},
       1},
      {"every add-on blocked but ours forced",
       "Firefox",
       [](FakeMachineProbe& m) {
         m.files[kPoliciesJson] = R"({"policies": {"ExtensionSettings": {"*": {"installation_mode": "blocked"}, ")" +
                                  kAddOn + R"(": {"installation_mode": "force_installed"}}}})";
       },
       {},
       {"force-installed"},
       0},
      {"a policies.json that is not JSON",
       "Firefox",
       [](FakeMachineProbe& m) { m.files[kPoliciesJson] = "{\"policies\": {,}"; },
       {},
       {"Firefox ignores it"},
       1},
      {"Group Policy in the registry wins over policies.json",
       "Firefox",
       [json](FakeMachineProbe& m) {
         m.files[kPoliciesJson] = json;
         m.keys[{"HKLM", kFirefox}].values["ExtensionSettings"] =
             "{\"" + kAddOn + "\": {\"installation_mode\": \"force_installed\"}}";
         List(m, "HKLM", kFirefox + "\\3rdparty\\Extensions\\" + kAddOn + "\\allowedOrigins",
              {"https://kiosk.example", "http://kiosk.example:8o"});
       },
       {},
       {"Policies (HKLM\\" + kFirefox + ")", "force-installed",
        "allowed origins (" + kAddOn + "): https://kiosk.example\n",
        "\\allowedOrigins\\2 = \"http://kiosk.example:8o\" is ignored"},
       1,
       {"shop.example"}},
  };
  ExpectAll(cases);
}

}  // namespace
