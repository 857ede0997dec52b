// Whether one host manifest, as a browser would read it, starts our host for our
// extension. Platform-neutral apart from the file check passed in, so the tests feed it
// a table of broken manifests.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/diag/BridgeNames.h"

// The advice for a registration that exists but is broken.
constexpr const char* kReinstallAdvice = "Repair the bridge (msiexec /famus <package>.msi /qn), or install it again.";

struct ManifestProblem {
  std::string what;  // what is wrong, for a technician
  std::string fix;   // what to do about it
};

struct ManifestCheck {
  std::vector<ManifestProblem> problems;  // empty: the browser can start our host
  std::string hostPath;                   // the program the manifest starts, resolved, when it names one
};

// The origins a Chrome/Edge host manifest must allow: every id our extension can have there.
std::vector<std::string> OurChromiumOrigins();

// `manifestPath` is the Windows path the registry gave (relative host paths are taken
// from its folder); `isFile` says whether a Windows path names an existing file;
// `chromiumOrigins` what a Chrome/Edge manifest must allow, all of them.
ManifestCheck CheckHostManifest(std::string_view text, const std::string& manifestPath,
                                BridgeNames::ManifestFamily family,
                                const std::function<bool(const std::string&)>& isFile,
                                const std::vector<std::string>& chromiumOrigins = OurChromiumOrigins());

// The host path as Windows resolves it for a browser: absolute as it is, relative from the
// manifest's folder.
std::string ResolveHostPath(const std::string& manifestPath, const std::string& hostPath);
