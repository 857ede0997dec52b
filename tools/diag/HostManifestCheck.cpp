#include "tools/diag/HostManifestCheck.h"

#include <iterator>

#include "tools/diag/JsonValue.h"

namespace {

using BridgeNames::ManifestFamily;

bool IsAbsoluteWindowsPath(const std::string& path) {
  const bool drive = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/');
  const bool rooted = !path.empty() && (path[0] == '\\' || path[0] == '/');
  return drive || rooted;
}

bool ListHolds(const JsonValue* list, const std::string& wanted) {
  if (list == nullptr || list->kind != JsonValue::Kind::Array) return false;
  for (const JsonValue& item : list->items) {
    if (item.IsString() && item.text == wanted) return true;
  }
  return false;
}

void CheckExtension(const JsonValue& manifest, ManifestFamily family, const std::vector<std::string>& chromiumOrigins,
                    std::vector<ManifestProblem>& problems) {
  if (family == ManifestFamily::Chromium) {
    // An extension from a store has the store's id: the browser starts the host for it only
    // when the manifest allows that id too.
    std::string missing;
    for (const std::string& origin : chromiumOrigins) {
      if (!ListHolds(manifest.Member("allowed_origins"), origin))
        missing += (missing.empty() ? "\"" : ", \"") + origin + "\"";
    }
    if (missing.empty()) return;
    std::string what = "it does not allow our extension: \"allowed_origins\" lacks " + missing;
    if (manifest.Member("allowed_extensions") != nullptr) what += " (this looks like the Firefox manifest)";
    problems.push_back({what, kReinstallAdvice});
    return;
  }
  const std::string id = BridgeNames::kFirefoxExtensionId;
  if (ListHolds(manifest.Member("allowed_extensions"), id)) return;
  std::string what = "it does not allow our add-on: \"allowed_extensions\" lacks \"" + id + "\"";
  if (manifest.Member("allowed_origins") != nullptr) what += " (this looks like the Chrome/Edge manifest)";
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
  const JsonDocument document = ParseJson(text);
  if (!document.value) {
    check.problems.push_back({"the manifest is not valid JSON (" + document.error + ")", kReinstallAdvice});
    return check;
  }
  const JsonValue& manifest = *document.value;
  if (manifest.kind != JsonValue::Kind::Object) {
    check.problems.push_back({"the manifest is not a JSON object", kReinstallAdvice});
    return check;
  }
  const JsonValue* name = manifest.Member("name");
  if (name == nullptr || !name->IsString() || name->text != BridgeNames::kHostName) {
    const std::string found = name != nullptr && name->IsString() ? "\"" + name->text + "\"" : "no name";
    check.problems.push_back(
        {"the manifest is for another host (" + found + ", not \"" + BridgeNames::kHostName + "\")", kReinstallAdvice});
  }
  const JsonValue* type = manifest.Member("type");
  if (type == nullptr || !type->IsString() || type->text != "stdio") {
    check.problems.push_back({"its \"type\" is not \"stdio\"", kReinstallAdvice});
  }
  const JsonValue* path = manifest.Member("path");
  if (path == nullptr || !path->IsString() || path->text.empty()) {
    check.problems.push_back({"it names no program to start (\"path\")", kReinstallAdvice});
  } else {
    check.hostPath = ResolveHostPath(manifestPath, path->text);
    if (!isFile(check.hostPath)) {
      check.problems.push_back({"the program it starts does not exist: " + check.hostPath, kReinstallAdvice});
    }
  }
  CheckExtension(manifest, family, chromiumOrigins, check.problems);
  return check;
}
