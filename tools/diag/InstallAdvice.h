// The installer's names as the checks' fix texts give them: one package per Windows width
// or per user, with a feature for each of the bridge and the plug-in.
#pragma once

#include <string>

// "tarvx-reader-<version>-x64.msi" for "x64"; also "x86" and "user".
std::string PackageFile(const std::string& flavour);

// How to install `what` ("the bridge") where nothing of it is registered, with the package's
// `feature` ("Bridge").
std::string InstallAdvice(const std::string& what, const std::string& feature);
