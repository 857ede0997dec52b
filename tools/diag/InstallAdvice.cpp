#include "tools/diag/InstallAdvice.h"

std::string PackageFile(const std::string& flavour) { return "tarvx-reader-<version>-" + flavour + ".msi"; }

std::string InstallAdvice(const std::string& what, const std::string& feature) {
  return "Install " + what + ": " + PackageFile("x64") +
         " on 64-bit Windows or -x86.msi on 32-bit\n"
         "             Windows (all users, needs administrator rights), or -user.msi for this user only,\n"
         "             with its " +
         feature + " feature (one way: msiexec /i <package>.msi ADDLOCAL=" + feature + ").";
}
