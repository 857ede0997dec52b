// A plug-in library as a browser finds it: the DLL, its MIME types from the version
// resource, and its three entry points. A plug-in linked into the program itself can be
// presented the same way.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "plugin/npapi/npfunctions.h"
#include "win32/UniqueResource.h"

namespace nphost {

// A plug-in the host cannot use: not loadable, no MIME type, an entry point missing.
class HostError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct PluginEntryPoints {
  NP_GetEntryPointsFunc getEntryPoints = nullptr;
  NP_InitializeFunc initialize = nullptr;
  NP_ShutdownFunc shutdown = nullptr;
};

// The MIME types of the version resource's "040904E4" block (the block Firefox reads),
// split at '|'. Throws HostError when the file has no such entry, or no Translation
// entry (Chromium skips such a DLL).
std::vector<std::string> ReadMimeTypes(const std::string& dllPath);

class PluginLibrary {
 public:
  // LoadLibrary, MIME types, the three exports looked up by their plain names.
  static PluginLibrary Load(const std::string& dllPath);
  // A plug-in linked into this program.
  static PluginLibrary Linked(const PluginEntryPoints& entryPoints, const std::string& mimeType);

  PluginLibrary(PluginLibrary&&) = default;
  PluginLibrary& operator=(PluginLibrary&&) = default;

  const PluginEntryPoints& EntryPoints() const { return m_entryPoints; }
  const std::string& MimeType() const { return m_mimeTypes.front(); }
  const std::vector<std::string>& MimeTypes() const { return m_mimeTypes; }
  HMODULE Module() const { return m_module.Get(); }
  // FreeLibrary; the entry points are gone with it.
  void Unload();

 private:
  PluginLibrary() = default;

  kelmar::Win32::UniqueModule m_module;
  PluginEntryPoints m_entryPoints;
  std::vector<std::string> m_mimeTypes;
};

}  // namespace nphost
