#include "tools/host/PluginLibrary.h"

#include <sstream>

namespace nphost {
namespace {

std::vector<std::string> SplitAt(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream stream(text);
  std::string part;
  while (std::getline(stream, part, separator)) parts.push_back(part);
  return parts;
}

template <typename Function>
Function Export(HMODULE module, const char* name, const std::string& path) {
  FARPROC address = GetProcAddress(module, name);
  if (address == nullptr) throw HostError(path + " does not export " + name);
  return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

}  // namespace

std::vector<std::string> ReadMimeTypes(const std::string& dllPath) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(dllPath.c_str(), &ignored);
  if (size == 0) throw HostError(dllPath + " has no version resource");
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(dllPath.c_str(), 0, size, block.data())) {
    throw HostError(dllPath + ": version resource unreadable");
  }
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length) || length < 4) {
    throw HostError(dllPath + ": version resource without a Translation entry");
  }
  if (!VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\MIMEType", &value, &length) || length == 0) {
    throw HostError(dllPath + ": no MIMEType in block 040904E4");
  }
  const std::vector<std::string> types = SplitAt(static_cast<const char*>(value), '|');
  if (types.empty() || types.front().empty()) throw HostError(dllPath + ": empty MIMEType");
  return types;
}

PluginLibrary PluginLibrary::Load(const std::string& dllPath) {
  PluginLibrary library;
  library.m_mimeTypes = ReadMimeTypes(dllPath);
  library.m_module.Reset(LoadLibraryA(dllPath.c_str()));
  if (!library.m_module) {
    throw HostError(dllPath + " cannot be loaded (error " + std::to_string(GetLastError()) + ")");
  }
  HMODULE module = library.m_module.Get();
  library.m_entryPoints.getEntryPoints = Export<NP_GetEntryPointsFunc>(module, "NP_GetEntryPoints", dllPath);
  library.m_entryPoints.initialize = Export<NP_InitializeFunc>(module, "NP_Initialize", dllPath);
  library.m_entryPoints.shutdown = Export<NP_ShutdownFunc>(module, "NP_Shutdown", dllPath);
  return library;
}

PluginLibrary PluginLibrary::Linked(const PluginEntryPoints& entryPoints, const std::string& mimeType) {
  PluginLibrary library;
  library.m_entryPoints = entryPoints;
  library.m_mimeTypes = {mimeType};
  return library;
}

void PluginLibrary::Unload() {
  m_entryPoints = PluginEntryPoints{};
  m_module.Reset();
}

}  // namespace nphost
