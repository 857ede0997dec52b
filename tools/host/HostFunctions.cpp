// The host function table: what the plug-in reaches through NP_Initialize's argument.
// Every entry counts its call on the active Browser; the entries a windowed, scriptable
// plug-in needs do their work there, the rest answer as a browser does that has
// nothing to offer (no streams, no timers, no URLs).
#include <cstdint>
#include <cstring>
#include <set>
#include <string>

#include "tools/host/Browser.h"

namespace nphost {
namespace {

Browser* Note(const char* slot) {
  Browser* browser = Browser::Active();
  if (browser != nullptr) browser->NoteCall(slot);
  return browser;
}

// Identifiers are permanent, as in late Firefox: interned strings, and odd values for
// integers (string addresses are even).
const std::string* Interned(const char* name) {
  static std::set<std::string> names;
  return &*names.insert(name).first;
}
bool IsIntIdentifier(NPIdentifier identifier) { return (reinterpret_cast<std::uintptr_t>(identifier) & 1u) != 0; }

NPError NP_CDECL GetURL(NPP, const char*, const char*) {
  Note("geturl");
  return NPERR_GENERIC_ERROR;
}
NPError NP_CDECL PostURL(NPP, const char*, const char*, std::uint32_t, const char*, NPBool) {
  Note("posturl");
  return NPERR_GENERIC_ERROR;
}
NPError NP_CDECL RequestRead(NPStream*, NPByteRange*) {
  Note("requestread");
  return NPERR_STREAM_NOT_SEEKABLE;
}
NPError NP_CDECL NewStream(NPP, NPMIMEType, const char*, NPStream**) {
  Note("newstream");
  return NPERR_GENERIC_ERROR;
}
std::int32_t NP_CDECL Write(NPP, NPStream*, std::int32_t, void*) {
  Note("write");
  return -1;
}
NPError NP_CDECL DestroyStream(NPP, NPStream*, NPReason) {
  Note("destroystream");
  return NPERR_GENERIC_ERROR;
}
void NP_CDECL Status(NPP, const char*) { Note("status"); }
const char* NP_CDECL UserAgent(NPP) {
  Note("uagent");
  return "Mozilla/5.0 (Windows NT 6.1; rv:52.0) nphost/1.0";
}
void* NP_CDECL MemAlloc(std::uint32_t size) {
  Browser* browser = Note("memalloc");
  return browser != nullptr ? browser->MemAlloc(size) : nullptr;
}
void NP_CDECL MemFree(void* block) {
  if (Browser* browser = Note("memfree")) browser->MemFree(block);
}
std::uint32_t NP_CDECL MemFlush(std::uint32_t) {
  Note("memflush");
  return 0;
}
void NP_CDECL ReloadPlugins(NPBool) { Note("reloadplugins"); }
void* NP_CDECL GetJavaEnv() {
  Note("getJavaEnv");
  return nullptr;
}
void* NP_CDECL GetJavaPeer(NPP) {
  Note("getJavaPeer");
  return nullptr;
}
NPError NP_CDECL GetURLNotify(NPP, const char*, const char*, void*) {
  Note("geturlnotify");
  return NPERR_GENERIC_ERROR;
}
NPError NP_CDECL PostURLNotify(NPP, const char*, const char*, std::uint32_t, const char*, NPBool, void*) {
  Note("posturlnotify");
  return NPERR_GENERIC_ERROR;
}
NPError NP_CDECL GetValue(NPP npp, NPNVariable variable, void* value) {
  Browser* browser = Note("getvalue");
  return browser != nullptr ? browser->GetValue(npp, variable, value) : NPERR_GENERIC_ERROR;
}
NPError NP_CDECL SetValue(NPP, NPPVariable, void*) {
  Note("setvalue");
  return NPERR_NO_ERROR;
}
void NP_CDECL InvalidateRect(NPP, NPRect*) { Note("invalidaterect"); }
void NP_CDECL InvalidateRegion(NPP, NPRegion) { Note("invalidateregion"); }
void NP_CDECL ForceRedraw(NPP) { Note("forceredraw"); }
NPIdentifier NP_CDECL GetStringIdentifier(const NPUTF8* name) {
  Note("getstringidentifier");
  return name != nullptr ? const_cast<std::string*>(Interned(name)) : nullptr;
}
void NP_CDECL GetStringIdentifiers(const NPUTF8** names, std::int32_t count, NPIdentifier* identifiers) {
  Note("getstringidentifiers");
  for (std::int32_t i = 0; names != nullptr && identifiers != nullptr && i < count; ++i) {
    identifiers[i] = names[i] != nullptr ? const_cast<std::string*>(Interned(names[i])) : nullptr;
  }
}
NPIdentifier NP_CDECL GetIntIdentifier(std::int32_t value) {
  Note("getintidentifier");
  return reinterpret_cast<NPIdentifier>((static_cast<std::uintptr_t>(static_cast<std::uint32_t>(value)) << 1) | 1u);
}
bool NP_CDECL IdentifierIsString(NPIdentifier identifier) {
  Note("identifierisstring");
  return identifier != nullptr && !IsIntIdentifier(identifier);
}
NPUTF8* NP_CDECL UTF8FromIdentifier(NPIdentifier identifier) {
  Browser* browser = Note("utf8fromidentifier");
  if (browser == nullptr || identifier == nullptr || IsIntIdentifier(identifier)) return nullptr;
  const std::string& name = *static_cast<const std::string*>(identifier);
  // A copy the caller frees with NPN_MemFree.
  auto* copy = static_cast<NPUTF8*>(browser->MemAlloc(static_cast<std::uint32_t>(name.size() + 1)));
  if (copy != nullptr) std::memcpy(copy, name.c_str(), name.size() + 1);
  return copy;
}
std::int32_t NP_CDECL IntFromIdentifier(NPIdentifier identifier) {
  Note("intfromidentifier");
  if (!IsIntIdentifier(identifier)) return INT32_MIN;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(identifier) >> 1));
}
NPObject* NP_CDECL CreateObject(NPP npp, NPClass* objectClass) {
  Browser* browser = Note("createobject");
  if (browser == nullptr || browser->Find(npp) == nullptr) return nullptr;
  return browser->Objects().Create(npp, objectClass);
}
NPObject* NP_CDECL RetainObject(NPObject* object) {
  Browser* browser = Note("retainobject");
  return browser != nullptr ? browser->Objects().Retain(object) : nullptr;
}
void NP_CDECL ReleaseObject(NPObject* object) {
  if (Browser* browser = Note("releaseobject")) browser->Objects().Release(object);
}
bool NP_CDECL Invoke(NPP, NPObject*, NPIdentifier, const NPVariant*, std::uint32_t, NPVariant* result) {
  Note("invoke");
  if (result != nullptr) SetVoidVariant(*result);
  return false;
}
bool NP_CDECL InvokeDefault(NPP, NPObject*, const NPVariant*, std::uint32_t, NPVariant* result) {
  Note("invokeDefault");
  if (result != nullptr) SetVoidVariant(*result);
  return false;
}
bool NP_CDECL Evaluate(NPP npp, NPObject* scope, NPString* script, NPVariant* result) {
  Browser* browser = Note("evaluate");
  return browser != nullptr && browser->Evaluate(npp, scope, script, result);
}
bool NP_CDECL GetProperty(NPP, NPObject*, NPIdentifier, NPVariant* result) {
  Note("getproperty");
  if (result != nullptr) SetVoidVariant(*result);
  return false;
}
bool NP_CDECL SetProperty(NPP, NPObject*, NPIdentifier, const NPVariant*) {
  Note("setproperty");
  return false;
}
bool NP_CDECL RemoveProperty(NPP, NPObject*, NPIdentifier) {
  Note("removeproperty");
  return false;
}
bool NP_CDECL HasProperty(NPP, NPObject*, NPIdentifier) {
  Note("hasproperty");
  return false;
}
bool NP_CDECL HasMethod(NPP, NPObject*, NPIdentifier) {
  Note("hasmethod");
  return false;
}
void NP_CDECL ReleaseVariantValue(NPVariant* variant) {
  if (Browser* browser = Note("releasevariantvalue")) browser->ReleaseVariantValue(variant);
}
void NP_CDECL SetException(NPObject*, const NPUTF8*) { Note("setexception"); }
void NP_CDECL PushPopupsEnabledState(NPP, NPBool) { Note("pushpopupsenabledstate"); }
void NP_CDECL PopPopupsEnabledState(NPP) { Note("poppopupsenabledstate"); }
bool NP_CDECL Enumerate(NPP, NPObject*, NPIdentifier**, std::uint32_t*) {
  Note("enumerate");
  return false;
}
void NP_CDECL PluginThreadAsyncCall(NPP, void(NP_CDECL*)(void*), void*) { Note("pluginthreadasynccall"); }
bool NP_CDECL Construct(NPP, NPObject*, const NPVariant*, std::uint32_t, NPVariant* result) {
  Note("construct");
  if (result != nullptr) SetVoidVariant(*result);
  return false;
}
NPError NP_CDECL GetValueForURL(NPP, NPNURLVariable, const char*, char**, std::uint32_t*) {
  Note("getvalueforurl");
  return NPERR_GENERIC_ERROR;
}
NPError NP_CDECL SetValueForURL(NPP, NPNURLVariable, const char*, const char*, std::uint32_t) {
  Note("setvalueforurl");
  return NPERR_GENERIC_ERROR;
}
NPError NP_CDECL GetAuthenticationInfo(NPP, const char*, const char*, std::int32_t, const char*, const char*, char**,
                                       std::uint32_t*, char**, std::uint32_t*) {
  Note("getauthenticationinfo");
  return NPERR_GENERIC_ERROR;
}
std::uint32_t NP_CDECL ScheduleTimer(NPP, std::uint32_t, NPBool, void(NP_CDECL*)(NPP, std::uint32_t)) {
  Note("scheduletimer");
  return 0;
}
void NP_CDECL UnscheduleTimer(NPP, std::uint32_t) { Note("unscheduletimer"); }
NPError NP_CDECL PopUpContextMenu(NPP, NPMenu*) {
  Note("popupcontextmenu");
  return NPERR_GENERIC_ERROR;
}
NPBool NP_CDECL ConvertPoint(NPP, double, double, NPCoordinateSpace, double*, double*, NPCoordinateSpace) {
  Note("convertpoint");
  return 0;
}
NPBool NP_CDECL HandleEvent(NPP, void*, NPBool) {
  Note("handleevent");
  return 0;
}
NPBool NP_CDECL UnfocusInstance(NPP, NPFocusDirection) {
  Note("unfocusinstance");
  return 0;
}
void NP_CDECL URLRedirectResponse(NPP, void*, NPBool) { Note("urlredirectresponse"); }
NPError NP_CDECL InitAsyncSurface(NPP, NPSize*, NPImageFormat, void*, NPAsyncSurface*) {
  Note("initasyncsurface");
  return NPERR_GENERIC_ERROR;
}
NPError NP_CDECL FinalizeAsyncSurface(NPP, NPAsyncSurface*) {
  Note("finalizeasyncsurface");
  return NPERR_GENERIC_ERROR;
}
void NP_CDECL SetCurrentAsyncSurface(NPP, NPAsyncSurface*, NPRect*) { Note("setcurrentasyncsurface"); }

}  // namespace

HostFunctionTable MakeHostFunctionTable(const BrowserProfile& profile) {
  HostFunctionTable table{};
  NPNetscapeFuncs& f = table.funcs;
  f.size = profile.hostTableSize;
  f.version = profile.hostTableVersion;
  f.geturl = GetURL;
  f.posturl = PostURL;
  f.requestread = RequestRead;
  f.newstream = NewStream;
  f.write = Write;
  f.destroystream = DestroyStream;
  f.status = Status;
  f.uagent = UserAgent;
  f.memalloc = MemAlloc;
  f.memfree = MemFree;
  f.memflush = MemFlush;
  f.reloadplugins = ReloadPlugins;
  f.getJavaEnv = GetJavaEnv;
  f.getJavaPeer = GetJavaPeer;
  f.geturlnotify = GetURLNotify;
  f.posturlnotify = PostURLNotify;
  f.getvalue = GetValue;
  f.setvalue = SetValue;
  f.invalidaterect = InvalidateRect;
  f.invalidateregion = InvalidateRegion;
  f.forceredraw = ForceRedraw;
  f.getstringidentifier = GetStringIdentifier;
  f.getstringidentifiers = GetStringIdentifiers;
  f.getintidentifier = GetIntIdentifier;
  f.identifierisstring = IdentifierIsString;
  f.utf8fromidentifier = UTF8FromIdentifier;
  f.intfromidentifier = IntFromIdentifier;
  f.createobject = CreateObject;
  f.retainobject = RetainObject;
  f.releaseobject = ReleaseObject;
  f.invoke = Invoke;
  f.invokeDefault = InvokeDefault;
  f.evaluate = Evaluate;
  f.getproperty = GetProperty;
  f.setproperty = SetProperty;
  f.removeproperty = RemoveProperty;
  f.hasproperty = HasProperty;
  f.hasmethod = HasMethod;
  f.releasevariantvalue = ReleaseVariantValue;
  f.setexception = SetException;
  f.pushpopupsenabledstate = PushPopupsEnabledState;
  f.poppopupsenabledstate = PopPopupsEnabledState;
  f.enumerate = Enumerate;
  f.pluginthreadasynccall = PluginThreadAsyncCall;
  f.construct = Construct;
  f.getvalueforurl = GetValueForURL;
  f.setvalueforurl = SetValueForURL;
  f.getauthenticationinfo = GetAuthenticationInfo;
  f.scheduletimer = ScheduleTimer;
  f.unscheduletimer = UnscheduleTimer;
  f.popupcontextmenu = PopUpContextMenu;
  f.convertpoint = ConvertPoint;
  f.handleevent = HandleEvent;
  f.unfocusinstance = UnfocusInstance;
  f.urlredirectresponse = URLRedirectResponse;
  table.initasyncsurface = InitAsyncSurface;
  table.finalizeasyncsurface = FinalizeAsyncSurface;
  table.setcurrentasyncsurface = SetCurrentAsyncSurface;
  for (std::size_t offset : profile.nullHostSlots) {
    if (offset >= offsetof(NPNetscapeFuncs, geturl) && offset + sizeof(void*) <= sizeof table) {
      std::memset(reinterpret_cast<unsigned char*>(&table) + offset, 0, sizeof(void*));
    }
  }
  return table;
}

}  // namespace nphost
