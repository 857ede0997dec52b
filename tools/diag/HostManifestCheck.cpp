#include "tools/diag/HostManifestCheck.h"

#include <algorithm>
#include <iterator>

#include "tools/diag/BrowserJson.h"

namespace {

using BridgeNames::ManifestFamily;
using Json = nlohmann::json;

bool IsAbsoluteWindowsPath(const std::string& path) {
  const bool drive = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
  const bool rooted = !path.empty() && (path[0] == '\\' || path[0] == '/');
  return drive || rooted;
}

bool ListHolds(const Json* list, const std::string& wanted) {
  if (list == nullptr || !list->is_array()) return false;
  return std::any_of(list->begin(), list->end(), [&](const Json& item) { return item == wanted; });
}

void CheckExtension(const Json& manifest, ManifestFamily family, const std::vector<std::string>& chromiumOrigins,
                    std::vector<ManifestProblem>& problems) {
  if (family == ManifestFamily::Chromium) {
    // An extension from a store has the store's id: the browser starts the host for it only
    // when the manifest allows that id too.
    std::string missing;
    for (const std::string& origin : chromiumOrigins) {
      if (!ListHolds(Member(&manifest, "allowed_origins"), origin))
        missing += (missing.empty() ? "\"" : ", \"") + origin + "\"";
    }
    if (missing.empty()) return;
    std::string what = "it does not allow our extension: \"allowed_origins\" lacks " + missing;
    if (manifest.contains("allowed_extensions")) what += " (this looks like the Firefox manifest)";
    problems.push_back({what, kReinstallAdvice});
    return;
  }
  const std::string id = BridgeNames::kFirefoxExtensionId;
  if (ListHolds(Member(&manifest, "allowed_extensions"), id)) return;
  std::string what = "it does not allow our add-on: \"allowed_extensions\" lacks \"" + id + "\"";
  if (manifest.contains("allowed_origins")) what += " (this looks like the Chrome/Edge manifest)";
  problems.push_back({what, kReinstallAdvice});
}

}  // namespace

std::vector<std::string> OurChromiumOrigins() {
  return {std::begin(BridgeNames::kChromiumOrigins), std::end(BridgeNames::kChromiumOrigins)};
}

std::string ResolveHostPath(const std::string& manifestPath, const std::string& hostPath) {
  if (IsAbsoluteWindowsPath(hostPath)) return hostPath;
  const std::size_t slash = manifestPath.find_last_of("\\/");
  return slash == std::string::npos ? hostPath : manifestPath.substr(0, slash + 1) + hostPath;
}

ManifestCheck CheckHostManifest(std::string_view text, const std::string& manifestPath, ManifestFamily family,
                                const std::function<bool(const std::string&)>& isFile,
                                const std::vector<std::string>& chromiumOrigins) {
  ManifestCheck check;
  const JsonObjectRead read = ReadBrowserJson(text);
  if (!read.object) {
    // A text that is JSON but no object is refused too, and the reason says so.
    check.problems.push_back({"the manifest is not valid JSON (" + read.error + ")", kReinstallAdvice});
    return check;
  }
  const Json& manifest = *read.object;
  const std::string* name = StringOf(Member(&manifest, "name"));
  if (name == nullptr || *name != BridgeNames::kHostName) {
    const std::string found = name != nullptr ? "\"" + *name + "\"" : "no name";
    check.problems.push_back(
        {"the manifest is for another host (" + found + ", not \"" + BridgeNames::kHostName + "\")", kReinstallAdvice});
  }
  const std::string* type = StringOf(Member(&manifest, "type"));
  if (type == nullptr || *type != "stdio") {
    check.problems.push_back({"its \"type\" is not \"stdio\"", kReinstallAdvice});
  }
  const std::string* path = StringOf(Member(&manifest, "path"));
  if (path == nullptr || path->empty()) {
    check.problems.push_back({"it names no program to start (\"path\")", kReinstallAdvice});
  } else {
    check.hostPath = ResolveHostPath(manifestPath, *path);
    if (!isFile(check.hostPath)) {
      check.problems.push_back({"the program it starts does not exist: " + check.hostPath, kReinstallAdvice});
    }
  }
  CheckExtension(manifest, family, chromiumOrigins, check.problems);
  return check;
}
