// tarvx-diag --bridge: the host manifest checks against a table of broken manifests, and
// the whole report on machines described by a fake registry and file system.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "tests/diag/FakeMachineProbe.h"
#include "tools/diag/BridgeCheck.h"
#include "tools/diag/BridgeNames.h"
#include "tools/diag/BrowserJson.h"
#include "tools/diag/ExitCodes.h"
#include "tools/diag/HostManifestCheck.h"

namespace {

using BridgeNames::ManifestFamily;
using testing::HasSubstr;
using testing::Not;

const std::string kDir = "C:\\Program Files\\Tarvo\\USB IC-card reader bridge\\";
const std::string kHostExe = kDir + "tarvx-host.exe";

std::string Manifest(const std::string& name, const std::string& path, const std::string& allowed,
                     const std::string& type = "stdio") {
  return "{\"name\": \"" + name + "\", \"description\": \"x\", \"path\": \"" + path + "\", \"type\": \"" + type +
         "\", " + allowed + "}";
}
const std::string kKeyOrigin = BridgeNames::kChromiumOrigins[0];
std::string OriginList(const std::vector<std::string>& origins) {
  std::string list;
  for (const std::string& origin : origins) list += (list.empty() ? "\"" : ", \"") + origin + "\"";
  return "\"allowed_origins\": [" + list + "]";
}
// Every origin of ours, as the installed manifest lists them, after any `others`.
std::string ChromiumAllowed(std::vector<std::string> others = {}) {
  for (const char* origin : BridgeNames::kChromiumOrigins) others.emplace_back(origin);
  return OriginList(others);
}
std::string FirefoxAllowed() {
  return "\"allowed_extensions\": [\"" + std::string(BridgeNames::kFirefoxExtensionId) + "\"]";
}
std::string Good(ManifestFamily family) {
  return Manifest(BridgeNames::kHostName, "tarvx-host.exe",
                  family == ManifestFamily::Firefox ? FirefoxAllowed() : ChromiumAllowed());
}

bool OnlyTheHostExists(const std::string& path) { return path == kHostExe; }

TEST(HostManifestCheck, SoundManifestsPassAndNameTheProgram) {
  struct Case {
    std::string text;
    ManifestFamily family;
  };
  const Case cases[] = {
      {Good(ManifestFamily::Chromium), ManifestFamily::Chromium},
      {Good(ManifestFamily::Firefox), ManifestFamily::Firefox},
      // An absolute path, with JSON escapes, and a byte order mark as Notepad writes one.
      {Manifest(BridgeNames::kHostName, "C:\\\\Program Files\\\\Tarvo\\\\USB IC-card reader bridge\\\\tarvx-host.exe",
                ChromiumAllowed()),
       ManifestFamily::Chromium},
      {"\xEF\xBB\xBF" + Good(ManifestFamily::Firefox), ManifestFamily::Firefox},
      // Other extensions allowed beside ours.
      {Manifest(BridgeNames::kHostName, "tarvx-host.exe", ChromiumAllowed({"chrome-extension://abc/"})),
       ManifestFamily::Chromium},
  };
  for (const Case& c : cases) {
    const ManifestCheck check = CheckHostManifest(c.text, kDir + "m.json", c.family, OnlyTheHostExists);
    EXPECT_TRUE(check.problems.empty()) << c.text << ": " << (check.problems.empty() ? "" : check.problems[0].what);
    EXPECT_EQ(check.hostPath, kHostExe) << c.text;
  }
}

TEST(HostManifestCheck, BrokenManifestsSayWhatIsWrong) {
  struct Case {
    const char* why;
    std::string text;
    ManifestFamily family;
    std::string problemMentions;
  };
  const std::string host = BridgeNames::kHostName;
  const Case cases[] = {
      {"empty file", "", ManifestFamily::Chromium, "not valid JSON"},
      {"cut short", Good(ManifestFamily::Chromium).substr(0, 40), ManifestFamily::Chromium, "not valid JSON"},
      {"trailing comma", "{\"name\": \"" + host + "\",}", ManifestFamily::Chromium, "not valid JSON"},
      {"single quotes", "{'name': 'x'}", ManifestFamily::Chromium, "not valid JSON"},
      {"two documents", Good(ManifestFamily::Chromium) + "{}", ManifestFamily::Chromium, "not valid JSON"},
      {"unescaped backslash", Manifest(host, "C:\\Tarvo\\tarvx-host.exe", ChromiumAllowed()), ManifestFamily::Chromium,
       "not valid JSON"},
      {"an array", "[" + Good(ManifestFamily::Chromium) + "]", ManifestFamily::Chromium, "not a JSON object"},
      {"another host", Manifest("com.other.host", "tarvx-host.exe", ChromiumAllowed()), ManifestFamily::Chromium,
       "\"com.other.host\""},
      {"no name", "{\"path\": \"tarvx-host.exe\", \"type\": \"stdio\", " + ChromiumAllowed() + "}",
       ManifestFamily::Chromium, "another host (no name"},
      {"wrong type", Manifest(host, "tarvx-host.exe", ChromiumAllowed(), "pipe"), ManifestFamily::Chromium, "\"type\""},
      {"no path", "{\"name\": \"" + host + "\", \"type\": \"stdio\", " + ChromiumAllowed() + "}",
       ManifestFamily::Chromium, "names no program"},
      {"path to a missing program", Manifest(host, "old-host.exe", ChromiumAllowed()), ManifestFamily::Chromium,
       "does not exist: " + kDir + "old-host.exe"},
      {"absolute path elsewhere", Manifest(host, "D:\\\\tarvx-host.exe", ChromiumAllowed()), ManifestFamily::Chromium,
       "does not exist: D:\\tarvx-host.exe"},
      {"another extension", Manifest(host, "tarvx-host.exe", "\"allowed_origins\": [\"chrome-extension://abc/\"]"),
       ManifestFamily::Chromium, "lacks \"" + kKeyOrigin + "\""},
      {"origin without the slash",
       Manifest(host, "tarvx-host.exe",
                "\"allowed_origins\": [\"chrome-extension://" + std::string(BridgeNames::kChromiumExtensionId) + "\"]"),
       ManifestFamily::Chromium, "allowed_origins"},
      {"Firefox manifest for Chrome", Good(ManifestFamily::Firefox), ManifestFamily::Chromium,
       "looks like the Firefox manifest"},
      {"Chrome manifest for Firefox", Good(ManifestFamily::Chromium), ManifestFamily::Firefox,
       "looks like the Chrome/Edge manifest"},
      {"add-on id as a string, not a list",
       Manifest(host, "tarvx-host.exe",
                "\"allowed_extensions\": \"" + std::string(BridgeNames::kFirefoxExtensionId) + "\""),
       ManifestFamily::Firefox, "allowed_extensions"},
  };
  for (const Case& c : cases) {
    const ManifestCheck check = CheckHostManifest(c.text, kDir + "m.json", c.family, OnlyTheHostExists);
    std::string all;
    for (const ManifestProblem& problem : check.problems) all += problem.what + "\n";
    EXPECT_THAT(all, HasSubstr(c.problemMentions)) << c.why;
    for (const ManifestProblem& problem : check.problems) EXPECT_FALSE(problem.fix.empty()) << c.why;
  }
}

// Once the extension is in a store, that store's id must be allowed too: the browser
// starts the host only for the ids the manifest lists.
TEST(HostManifestCheck, EveryIdOfOursMustBeAllowed) {
  const std::string store = "chrome-extension://ponmlkjihgfedcbaponmlkjihgfedcba/";
  const std::vector<std::string> ours = {kKeyOrigin, store};
  struct Case {
    std::vector<std::string> allowed;
    std::string problemMentions;  // empty: no problem
  };
  const Case cases[] = {
      {{kKeyOrigin, store}, ""},
      {{store, "chrome-extension://abc/", kKeyOrigin}, ""},
      {{kKeyOrigin}, "lacks \"" + store + "\""},
      {{store}, "lacks \"" + kKeyOrigin + "\""},
      {{}, "lacks \"" + kKeyOrigin + "\", \"" + store + "\""},
  };
  for (const Case& c : cases) {
    const std::string text = Manifest(BridgeNames::kHostName, "tarvx-host.exe", OriginList(c.allowed));
    const ManifestCheck check =
        CheckHostManifest(text, kDir + "m.json", ManifestFamily::Chromium, OnlyTheHostExists, ours);
    std::string all;
    for (const ManifestProblem& problem : check.problems) all += problem.what + "\n";
    if (c.problemMentions.empty()) {
      EXPECT_EQ(all, "") << text;
    } else {
      EXPECT_THAT(all, HasSubstr(c.problemMentions)) << text;
    }
  }
}

TEST(HostManifestCheck, RelativeHostPathsAreTakenFromTheManifestsFolder) {
  EXPECT_EQ(ResolveHostPath("C:\\a\\b\\m.json", "h.exe"), "C:\\a\\b\\h.exe");
  EXPECT_EQ(ResolveHostPath("C:\\a\\b\\m.json", "sub\\h.exe"), "C:\\a\\b\\sub\\h.exe");
  EXPECT_EQ(ResolveHostPath("C:\\a\\m.json", "D:\\h.exe"), "D:\\h.exe");
  EXPECT_EQ(ResolveHostPath("C:\\a\\m.json", "\\\\server\\share\\h.exe"), "\\\\server\\share\\h.exe");
}

TEST(BrowserJson, DecodesStringsAndRefusesDeepNesting) {
  const JsonObjectRead document = ReadBrowserJson(R"({"a": "x\\y\u00e9\ud83d\ude00", "b": [1, -2.5e3, true, null]})");
  ASSERT_TRUE(document.object) << document.error;
  const std::string* a = StringOf(Member(&*document.object, "a"));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(*a, "x\\y\xC3\xA9\xF0\x9F\x98\x80");
  const nlohmann::json* b = Member(&*document.object, "b");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->size(), 4U);
  EXPECT_FALSE(ReadBrowserJson(std::string(100, '[') + std::string(100, ']')).object);
  EXPECT_FALSE(ReadBrowserJson("{\"a\": " + std::string(100, '[') + std::string(100, ']') + "}").object);
  EXPECT_FALSE(ReadBrowserJson(R"({"a": "\ud83d"})").object);
  EXPECT_FALSE(ReadBrowserJson("{\"a\": \"tab\there\"}").object);
  EXPECT_FALSE(ReadBrowserJson("01").object);
}

// A machine with the bridge registered as the test says.
class FakeProbe {
 public:
  FakeMachineProbe machine;

  void Register(const std::string& label, const BridgeNames::WindowsBrowser& browser, const std::string& value) {
    machine.keys[{label, std::string(browser.key) + "\\" + BridgeNames::kHostName}].defaultValue = value;
  }
  // What the x64 package installs.
  void InstallPerMachine() {
    machine.files[kHostExe] = "MZ";
    machine.files[kDir + "c.json"] = Good(ManifestFamily::Chromium);
    machine.files[kDir + "f.json"] = Good(ManifestFamily::Firefox);
    for (const auto& browser : BridgeNames::kWindowsBrowsers) {
      const std::string manifest = kDir + (browser.family == ManifestFamily::Firefox ? "f.json" : "c.json");
      Register("HKLM (32-bit view)", browser, manifest);
      Register("HKLM (64-bit view)", browser, manifest);
    }
  }
};

std::tuple<int, std::string> CheckMachine(const FakeProbe& probe) {
  std::ostringstream out;
  const int code = RunBridgeCheck(probe.machine, out);
  return {code, out.str()};
}

TEST(BridgeCheck, AMachineWithThePackageInstalledIsOk) {
  FakeProbe probe;
  probe.InstallPerMachine();
  const auto [code, text] = CheckMachine(probe);
  EXPECT_EQ(code, kExitOk) << text;
  EXPECT_THAT(text, Not(HasSubstr("PROBLEM")));
  EXPECT_THAT(text, HasSubstr("Result: ok"));
}

TEST(BridgeCheck, ANothingInstalledMachineNamesEachBrowserAndThePackages) {
  FakeProbe probe;
  const auto [code, text] = CheckMachine(probe);
  EXPECT_EQ(code, kExitFailed);
  for (const auto& browser : BridgeNames::kWindowsBrowsers) {
    EXPECT_THAT(text, HasSubstr(std::string(browser.name) + " cannot start the card reader's host"));
  }
  EXPECT_THAT(text, HasSubstr("tarvx-reader-<version>-x64.msi"));
  EXPECT_THAT(text, HasSubstr("ADDLOCAL=Bridge"));
  EXPECT_THAT(text, HasSubstr("Result: 3 problems"));
}

TEST(BridgeCheck, EachRegistrationIsCheckedInEveryPlaceABrowserLooks) {
  struct Case {
    const char* why;
    bool is64;
    std::function<void(FakeProbe&)> arrange;
    std::string mentions;
  };
  const auto& firefox = BridgeNames::kWindowsBrowsers[2];
  const std::string firefoxKey = std::string(firefox.key) + "\\" + BridgeNames::kHostName;
  const Case cases[] = {
      {"a stale per-user key beside a sound machine one", true,
       [&](FakeProbe& p) { p.Register("HKCU", firefox, "C:\\Users\\kiosk\\old\\f.json"); }, "HKCU\\Software\\Mozilla"},
      {"the 32-bit view's key removed by hand", true,
       [&](FakeProbe& p) {
         p.machine.keys.erase({"HKLM (32-bit view)", firefoxKey});
       },
       ""},
      {"a key with no default value", true,
       [&](FakeProbe& p) {
         p.machine.keys[{"HKLM (64-bit view)", firefoxKey}].defaultValue.reset();
       },
       "default value does not name the manifest"},
      {"the manifest deleted", true, [](FakeProbe& p) { p.machine.files.erase(kDir + "f.json"); },
       "manifest file is missing"},
      {"32-bit Windows has one HKLM", false, [](FakeProbe&) {}, "Chrome cannot start"},
  };
  for (const Case& c : cases) {
    FakeProbe probe;
    probe.InstallPerMachine();
    probe.machine.is64 = c.is64;
    c.arrange(probe);
    const auto [code, text] = CheckMachine(probe);
    if (c.mentions.empty()) {
      EXPECT_EQ(code, kExitOk) << c.why << "\n" << text;
    } else {
      EXPECT_EQ(code, kExitFailed) << c.why << "\n" << text;
      EXPECT_THAT(text, HasSubstr(c.mentions)) << c.why << "\n" << text;
    }
  }
}

}  // namespace
