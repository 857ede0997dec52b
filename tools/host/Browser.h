// A small NPAPI browser: it loads a plug-in library the way Firefox and Chromium did,
// offers a complete host function table, embeds instances in a page window, runs the
// page's script functions and pumps messages. One Browser may be active per process
// at a time, since the host functions have no other way to find it.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "plugin/npapi/npfunctions.h"
#include "tools/host/BrowserProfile.h"
#include "tools/host/HostedInstance.h"
#include "tools/host/ObjectRegistry.h"
#include "tools/host/PageScript.h"
#include "tools/host/PluginLibrary.h"

namespace nphost {

// The browser's table as late Firefox had it: through urlredirectresponse, then the three
// async-surface entries (236 bytes in a 32-bit build, 472 in a 64-bit one).
struct HostFunctionTable {
  NPNetscapeFuncs funcs;
  NPN_InitAsyncSurfaceProcPtr initasyncsurface;
  NPN_FinalizeAsyncSurfaceProcPtr finalizeasyncsurface;
  NPN_SetCurrentAsyncSurfaceProcPtr setcurrentasyncsurface;
};
static_assert(sizeof(HostFunctionTable) == kNetscapeFuncsWithAsyncSurface, "late Firefox's table size");

// Every entry filled with this host's functions, then the profile's empty slots cleared
// and its size and version set.
HostFunctionTable MakeHostFunctionTable(const BrowserProfile& profile);

struct EmbedOptions {
  int width = 100;
  int height = 40;
  Attributes attributes{{"type", ""}};  // an empty type is replaced by the plug-in's MIME type
  // Call NPP_SetWindow with the element's window right after NPP_New.
  bool setWindow = true;
};

// What the plug-in asked of the host.
struct HostCallCounts {
  std::map<std::string, int> bySlot;  // "evaluate", "getvalue", ...
  int fromOtherThreads = 0;           // browsers refuse these
  int memoryBlocksOutstanding = 0;    // NPN_MemAlloc minus NPN_MemFree
  int variantsReleased = 0;
  int variantsReleasedWithBadType = 0;  // not one of the seven variant types

  int Of(const std::string& slot) const {
    const auto found = bySlot.find(slot);
    return found == bySlot.end() ? 0 : found->second;
  }
};

class Browser {
 public:
  explicit Browser(BrowserProfile profile = LateFirefox());
  // Destroys the instances still alive, shuts the plug-in down and unloads it.
  ~Browser();
  Browser(const Browser&) = delete;
  Browser& operator=(const Browser&) = delete;

  static Browser* Active();
  const BrowserProfile& Profile() const { return m_profile; }

  // NP_GetEntryPoints with a zero-filled table of the profile's size and version, then
  // NP_Initialize with the host table. The first failure is returned and the plug-in is
  // not used further.
  NPError Load(PluginLibrary library);
  NPError Load(const std::string& dllPath) { return Load(PluginLibrary::Load(dllPath)); }
  bool IsLoaded() const { return m_library != nullptr && m_initialized; }
  const PluginLibrary* Library() const { return m_library.get(); }
  // The plug-in's table as far as its `size` reaches; the rest reads as null.
  const NPPluginFuncs& PluginFuncs() const { return m_pluginFuncs; }
  // Whether NP_GetEntryPoints wrote past the `size` the browser gave it.
  bool PluginTableOverrun() const;
  // NP_Shutdown, once; then FreeLibrary (as Chromium does; Firefox kept the library).
  NPError Shutdown();
  void Unload();

  HWND PageWindow() const { return m_page; }
  // A new element with its own child window; NPP_New, then NPP_SetWindow if asked.
  HostedInstance& Embed(const EmbedOptions& options = EmbedOptions{});
  NPError LastNewResult() const { return m_lastNewResult; }
  NPError LastSetWindowResult() const { return m_lastSetWindowResult; }
  // Takes a destroyed instance's element off the page, its window with it, as a page
  // does when it removes the element. Does nothing for an instance still alive.
  void Remove(HostedInstance& instance);
  HostedInstance* Find(NPP npp) const;
  std::vector<HostedInstance*> LiveInstances() const;

  PageScript& Page() { return m_pageScript; }
  // Without a window object, NPN_GetValue(NPNVWindowNPObject) fails and gives null.
  void SetWindowObjectAvailable(bool available) { m_windowObjectAvailable = available; }
  NPObject* WindowObject() const { return m_windowObject; }
  // References to the window object that the plug-in took and has not given back.
  std::uint32_t WindowObjectReferencesHeldByPlugin() const;
  // Releases an object the way the page's script wrapper does when it lets go of it.
  void ReleaseObject(NPObject* object) { m_objects.Release(object); }

  ObjectRegistry& Objects() { return m_objects; }
  const HostCallCounts& Calls() const { return m_calls; }

  // WM_DEVICECHANGE for a device interface to every live element's window.
  void SendDeviceInterfaceChange(WPARAM event, const std::string& path);
  // WM_DEVICECHANGE for another device type (0: no header) to every live element's window.
  void SendDeviceChange(WPARAM event, DWORD deviceType);

  // --- The host functions, reached from the table ---
  void NoteCall(const char* slot);
  NPError GetValue(NPP npp, NPNVariable variable, void* value);
  bool Evaluate(NPP npp, NPObject* scope, NPString* script, NPVariant* result);
  void ReleaseVariantValue(NPVariant* variant);
  void* MemAlloc(std::uint32_t size);
  void MemFree(void* block);

 private:
  BrowserProfile m_profile;
  DWORD m_thread;
  HWND m_page;
  HostFunctionTable m_hostTable;
  std::unique_ptr<PluginLibrary> m_library;
  bool m_initialized;
  bool m_shutDown;
  // The plug-in table with room behind it, to see writes past `size`.
  alignas(NPPluginFuncs) unsigned char m_pluginTableBytes[sizeof(NPPluginFuncs) + 64];
  NPPluginFuncs m_pluginFuncs;
  std::vector<std::unique_ptr<HostedInstance>> m_instances;
  NPError m_lastNewResult;
  NPError m_lastSetWindowResult;
  PageScript m_pageScript;
  ObjectRegistry m_objects;
  NPClass m_windowClass;
  NPP_t m_pageNpp;
  NPObject* m_windowObject;
  bool m_windowObjectAvailable;
  HostCallCounts m_calls;
};

}  // namespace nphost
