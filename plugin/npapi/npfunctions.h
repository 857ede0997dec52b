// NPAPI function tables for 32-bit and 64-bit Windows, written for this project from the published
// interface layouts: the browser's table (NPNetscapeFuncs, up to urlredirectresponse),
// the plug-in's table (NPPluginFuncs) and the three DLL entry points.
#pragma once

#include <cstddef>
#include <cstdint>

#include "npapi.h"
#include "npruntime.h"

// ---- Plug-in side (NPP_), cdecl ----
using NPP_NewProcPtr = NPError(NP_CDECL*)(NPMIMEType pluginType, NPP instance, std::uint16_t mode, std::int16_t argc,
                                          char* argn[], char* argv[], NPSavedData* saved);
using NPP_DestroyProcPtr = NPError(NP_CDECL*)(NPP instance, NPSavedData** save);
using NPP_SetWindowProcPtr = NPError(NP_CDECL*)(NPP instance, NPWindow* window);
using NPP_NewStreamProcPtr = NPError(NP_CDECL*)(NPP instance, NPMIMEType type, NPStream* stream, NPBool seekable,
                                                std::uint16_t* stype);
using NPP_DestroyStreamProcPtr = NPError(NP_CDECL*)(NPP instance, NPStream* stream, NPReason reason);
using NPP_StreamAsFileProcPtr = void(NP_CDECL*)(NPP instance, NPStream* stream, const char* fname);
using NPP_WriteReadyProcPtr = std::int32_t(NP_CDECL*)(NPP instance, NPStream* stream);
using NPP_WriteProcPtr = std::int32_t(NP_CDECL*)(NPP instance, NPStream* stream, std::int32_t offset, std::int32_t len,
                                                 void* buffer);
using NPP_PrintProcPtr = void(NP_CDECL*)(NPP instance, NPPrint* platformPrint);
using NPP_HandleEventProcPtr = std::int16_t(NP_CDECL*)(NPP instance, void* event);
using NPP_URLNotifyProcPtr = void(NP_CDECL*)(NPP instance, const char* url, NPReason reason, void* notifyData);
using NPP_GetValueProcPtr = NPError(NP_CDECL*)(NPP instance, NPPVariable variable, void* value);
using NPP_SetValueProcPtr = NPError(NP_CDECL*)(NPP instance, NPNVariable variable, void* value);
using NPP_GotFocusProcPtr = NPBool(NP_CDECL*)(NPP instance, NPFocusDirection direction);
using NPP_LostFocusProcPtr = void(NP_CDECL*)(NPP instance);
using NPP_URLRedirectNotifyProcPtr = void(NP_CDECL*)(NPP instance, const char* url, std::int32_t status,
                                                     void* notifyData);
using NPP_ClearSiteDataProcPtr = NPError(NP_CDECL*)(const char* site, std::uint64_t flags, std::uint64_t maxAge);
using NPP_GetSitesWithDataProcPtr = char**(NP_CDECL*)();
using NPP_DidCompositeProcPtr = void(NP_CDECL*)(NPP instance);

struct NPPluginFuncs {
  std::uint16_t size;
  std::uint16_t version;
  NPP_NewProcPtr newp;
  NPP_DestroyProcPtr destroy;
  NPP_SetWindowProcPtr setwindow;
  NPP_NewStreamProcPtr newstream;
  NPP_DestroyStreamProcPtr destroystream;
  NPP_StreamAsFileProcPtr asfile;
  NPP_WriteReadyProcPtr writeready;
  NPP_WriteProcPtr write;
  NPP_PrintProcPtr print;
  NPP_HandleEventProcPtr event;
  NPP_URLNotifyProcPtr urlnotify;
  void* javaClass;  // obsolete
  NPP_GetValueProcPtr getvalue;
  NPP_SetValueProcPtr setvalue;
  NPP_GotFocusProcPtr gotfocus;
  NPP_LostFocusProcPtr lostfocus;
  NPP_URLRedirectNotifyProcPtr urlredirectnotify;
  NPP_ClearSiteDataProcPtr clearsitedata;
  NPP_GetSitesWithDataProcPtr getsiteswithdata;
  NPP_DidCompositeProcPtr didComposite;
};

// ---- Browser side (NPN_), cdecl ----
using NPN_GetURLProcPtr = NPError(NP_CDECL*)(NPP instance, const char* url, const char* window);
using NPN_PostURLProcPtr = NPError(NP_CDECL*)(NPP instance, const char* url, const char* window, std::uint32_t len,
                                              const char* buf, NPBool file);
using NPN_RequestReadProcPtr = NPError(NP_CDECL*)(NPStream* stream, NPByteRange* rangeList);
using NPN_NewStreamProcPtr = NPError(NP_CDECL*)(NPP instance, NPMIMEType type, const char* window, NPStream** stream);
using NPN_WriteProcPtr = std::int32_t(NP_CDECL*)(NPP instance, NPStream* stream, std::int32_t len, void* buffer);
using NPN_DestroyStreamProcPtr = NPError(NP_CDECL*)(NPP instance, NPStream* stream, NPReason reason);
using NPN_StatusProcPtr = void(NP_CDECL*)(NPP instance, const char* message);
using NPN_UserAgentProcPtr = const char*(NP_CDECL*)(NPP instance);
using NPN_MemAllocProcPtr = void*(NP_CDECL*)(std::uint32_t size);
using NPN_MemFreeProcPtr = void(NP_CDECL*)(void* ptr);
using NPN_MemFlushProcPtr = std::uint32_t(NP_CDECL*)(std::uint32_t size);
using NPN_ReloadPluginsProcPtr = void(NP_CDECL*)(NPBool reloadPages);
using NPN_GetJavaEnvProcPtr = void*(NP_CDECL*)();
using NPN_GetJavaPeerProcPtr = void*(NP_CDECL*)(NPP instance);
using NPN_GetURLNotifyProcPtr = NPError(NP_CDECL*)(NPP instance, const char* url, const char* window, void* notifyData);
using NPN_PostURLNotifyProcPtr = NPError(NP_CDECL*)(NPP instance, const char* url, const char* window,
                                                    std::uint32_t len, const char* buf, NPBool file, void* notifyData);
using NPN_GetValueProcPtr = NPError(NP_CDECL*)(NPP instance, NPNVariable variable, void* value);
using NPN_SetValueProcPtr = NPError(NP_CDECL*)(NPP instance, NPPVariable variable, void* value);
using NPN_InvalidateRectProcPtr = void(NP_CDECL*)(NPP instance, NPRect* rect);
using NPN_InvalidateRegionProcPtr = void(NP_CDECL*)(NPP instance, NPRegion region);
using NPN_ForceRedrawProcPtr = void(NP_CDECL*)(NPP instance);
using NPN_GetStringIdentifierProcPtr = NPIdentifier(NP_CDECL*)(const NPUTF8* name);
using NPN_GetStringIdentifiersProcPtr = void(NP_CDECL*)(const NPUTF8** names, std::int32_t nameCount,
                                                        NPIdentifier* identifiers);
using NPN_GetIntIdentifierProcPtr = NPIdentifier(NP_CDECL*)(std::int32_t intid);
using NPN_IdentifierIsStringProcPtr = bool(NP_CDECL*)(NPIdentifier identifier);
using NPN_UTF8FromIdentifierProcPtr = NPUTF8*(NP_CDECL*)(NPIdentifier identifier);
using NPN_IntFromIdentifierProcPtr = std::int32_t(NP_CDECL*)(NPIdentifier identifier);
using NPN_CreateObjectProcPtr = NPObject*(NP_CDECL*)(NPP npp, NPClass* aClass);
using NPN_RetainObjectProcPtr = NPObject*(NP_CDECL*)(NPObject* obj);
using NPN_ReleaseObjectProcPtr = void(NP_CDECL*)(NPObject* obj);
using NPN_InvokeProcPtr = bool(NP_CDECL*)(NPP npp, NPObject* obj, NPIdentifier methodName, const NPVariant* args,
                                          std::uint32_t argCount, NPVariant* result);
using NPN_InvokeDefaultProcPtr = bool(NP_CDECL*)(NPP npp, NPObject* obj, const NPVariant* args, std::uint32_t argCount,
                                                 NPVariant* result);
using NPN_EvaluateProcPtr = bool(NP_CDECL*)(NPP npp, NPObject* obj, NPString* script, NPVariant* result);
using NPN_GetPropertyProcPtr = bool(NP_CDECL*)(NPP npp, NPObject* obj, NPIdentifier propertyName, NPVariant* result);
using NPN_SetPropertyProcPtr = bool(NP_CDECL*)(NPP npp, NPObject* obj, NPIdentifier propertyName,
                                               const NPVariant* value);
using NPN_RemovePropertyProcPtr = bool(NP_CDECL*)(NPP npp, NPObject* obj, NPIdentifier propertyName);
using NPN_HasPropertyProcPtr = bool(NP_CDECL*)(NPP npp, NPObject* obj, NPIdentifier propertyName);
using NPN_HasMethodProcPtr = bool(NP_CDECL*)(NPP npp, NPObject* obj, NPIdentifier propertyName);
using NPN_ReleaseVariantValueProcPtr = void(NP_CDECL*)(NPVariant* variant);
using NPN_SetExceptionProcPtr = void(NP_CDECL*)(NPObject* obj, const NPUTF8* message);
using NPN_PushPopupsEnabledStateProcPtr = void(NP_CDECL*)(NPP npp, NPBool enabled);
using NPN_PopPopupsEnabledStateProcPtr = void(NP_CDECL*)(NPP npp);
using NPN_EnumerateProcPtr = bool(NP_CDECL*)(NPP npp, NPObject* obj, NPIdentifier** identifiers, std::uint32_t* count);
using NPN_PluginThreadAsyncCallProcPtr = void(NP_CDECL*)(NPP instance, void(NP_CDECL* func)(void*), void* userData);
using NPN_ConstructProcPtr = bool(NP_CDECL*)(NPP npp, NPObject* obj, const NPVariant* args, std::uint32_t argCount,
                                             NPVariant* result);
using NPN_GetValueForURLProcPtr = NPError(NP_CDECL*)(NPP npp, NPNURLVariable variable, const char* url, char** value,
                                                     std::uint32_t* len);
using NPN_SetValueForURLProcPtr = NPError(NP_CDECL*)(NPP npp, NPNURLVariable variable, const char* url,
                                                     const char* value, std::uint32_t len);
using NPN_GetAuthenticationInfoProcPtr = NPError(NP_CDECL*)(NPP npp, const char* protocol, const char* host,
                                                            std::int32_t port, const char* scheme, const char* realm,
                                                            char** username, std::uint32_t* ulen, char** password,
                                                            std::uint32_t* plen);
using NPN_ScheduleTimerProcPtr = std::uint32_t(NP_CDECL*)(NPP instance, std::uint32_t interval, NPBool repeat,
                                                          void(NP_CDECL* timerFunc)(NPP npp, std::uint32_t timerID));
using NPN_UnscheduleTimerProcPtr = void(NP_CDECL*)(NPP instance, std::uint32_t timerID);
using NPN_PopUpContextMenuProcPtr = NPError(NP_CDECL*)(NPP instance, NPMenu* menu);
using NPN_ConvertPointProcPtr = NPBool(NP_CDECL*)(NPP instance, double sourceX, double sourceY,
                                                  NPCoordinateSpace sourceSpace, double* destX, double* destY,
                                                  NPCoordinateSpace destSpace);
using NPN_HandleEventProcPtr = NPBool(NP_CDECL*)(NPP instance, void* event, NPBool handled);
using NPN_UnfocusInstanceProcPtr = NPBool(NP_CDECL*)(NPP instance, NPFocusDirection direction);
using NPN_URLRedirectResponseProcPtr = void(NP_CDECL*)(NPP instance, void* notifyData, NPBool allow);

// The browser's table as far as `urlredirectresponse`. Later browsers append more
// entries (the table's `size` says how many); a plug-in reads none of them.
struct NPNetscapeFuncs {
  std::uint16_t size;
  std::uint16_t version;
  NPN_GetURLProcPtr geturl;
  NPN_PostURLProcPtr posturl;
  NPN_RequestReadProcPtr requestread;
  NPN_NewStreamProcPtr newstream;
  NPN_WriteProcPtr write;
  NPN_DestroyStreamProcPtr destroystream;
  NPN_StatusProcPtr status;
  NPN_UserAgentProcPtr uagent;
  NPN_MemAllocProcPtr memalloc;
  NPN_MemFreeProcPtr memfree;
  NPN_MemFlushProcPtr memflush;
  NPN_ReloadPluginsProcPtr reloadplugins;
  NPN_GetJavaEnvProcPtr getJavaEnv;
  NPN_GetJavaPeerProcPtr getJavaPeer;
  NPN_GetURLNotifyProcPtr geturlnotify;
  NPN_PostURLNotifyProcPtr posturlnotify;
  NPN_GetValueProcPtr getvalue;
  NPN_SetValueProcPtr setvalue;
  NPN_InvalidateRectProcPtr invalidaterect;
  NPN_InvalidateRegionProcPtr invalidateregion;
  NPN_ForceRedrawProcPtr forceredraw;
  NPN_GetStringIdentifierProcPtr getstringidentifier;
  NPN_GetStringIdentifiersProcPtr getstringidentifiers;
  NPN_GetIntIdentifierProcPtr getintidentifier;
  NPN_IdentifierIsStringProcPtr identifierisstring;
  NPN_UTF8FromIdentifierProcPtr utf8fromidentifier;
  NPN_IntFromIdentifierProcPtr intfromidentifier;
  NPN_CreateObjectProcPtr createobject;
  NPN_RetainObjectProcPtr retainobject;
  NPN_ReleaseObjectProcPtr releaseobject;
  NPN_InvokeProcPtr invoke;
  NPN_InvokeDefaultProcPtr invokeDefault;
  NPN_EvaluateProcPtr evaluate;
  NPN_GetPropertyProcPtr getproperty;
  NPN_SetPropertyProcPtr setproperty;
  NPN_RemovePropertyProcPtr removeproperty;
  NPN_HasPropertyProcPtr hasproperty;
  NPN_HasMethodProcPtr hasmethod;
  NPN_ReleaseVariantValueProcPtr releasevariantvalue;
  NPN_SetExceptionProcPtr setexception;
  NPN_PushPopupsEnabledStateProcPtr pushpopupsenabledstate;
  NPN_PopPopupsEnabledStateProcPtr poppopupsenabledstate;
  NPN_EnumerateProcPtr enumerate;
  NPN_PluginThreadAsyncCallProcPtr pluginthreadasynccall;
  NPN_ConstructProcPtr construct;
  NPN_GetValueForURLProcPtr getvalueforurl;
  NPN_SetValueForURLProcPtr setvalueforurl;
  NPN_GetAuthenticationInfoProcPtr getauthenticationinfo;
  NPN_ScheduleTimerProcPtr scheduletimer;
  NPN_UnscheduleTimerProcPtr unscheduletimer;
  NPN_PopUpContextMenuProcPtr popupcontextmenu;
  NPN_ConvertPointProcPtr convertpoint;
  NPN_HandleEventProcPtr handleevent;
  NPN_UnfocusInstanceProcPtr unfocusinstance;
  NPN_URLRedirectResponseProcPtr urlredirectresponse;
};

// The entries browsers appended after `urlredirectresponse` (late Firefox).
using NPN_InitAsyncSurfaceProcPtr = NPError(NP_CDECL*)(NPP instance, NPSize* size, NPImageFormat format, void* initData,
                                                       NPAsyncSurface* surface);
using NPN_FinalizeAsyncSurfaceProcPtr = NPError(NP_CDECL*)(NPP instance, NPAsyncSurface* surface);
using NPN_SetCurrentAsyncSurfaceProcPtr = void(NP_CDECL*)(NPP instance, NPAsyncSurface* surface, NPRect* changed);

// ---- The DLL's exports: stdcall on 32-bit, exported by their plain names ----
using NP_GetEntryPointsFunc = NPError(NP_EXPORT_CALL*)(NPPluginFuncs* pluginFuncs);
using NP_InitializeFunc = NPError(NP_EXPORT_CALL*)(NPNetscapeFuncs* browserFuncs);
using NP_ShutdownFunc = NPError(NP_EXPORT_CALL*)();

// Table sizes are where an entry ends, so they follow the pointer size: 60 and 224 bytes in
// a 32-bit build, 120 and 448 in a 64-bit one.
// A plug-in table of at least this size reaches `setvalue`.
constexpr std::uint16_t kPluginFuncsThroughSetValue =
    static_cast<std::uint16_t>(offsetof(NPPluginFuncs, setvalue) + sizeof(NPP_SetValueProcPtr));
// A browser table of at least this size reaches `urlredirectresponse`.
constexpr std::uint16_t kNetscapeFuncsThroughRedirectResponse =
    static_cast<std::uint16_t>(offsetof(NPNetscapeFuncs, urlredirectresponse) + sizeof(NPN_URLRedirectResponseProcPtr));
// The browser table with the three async-surface entries after it (late Firefox).
constexpr std::uint16_t kNetscapeFuncsWithAsyncSurface =
    static_cast<std::uint16_t>(kNetscapeFuncsThroughRedirectResponse + sizeof(NPN_InitAsyncSurfaceProcPtr) +
                               sizeof(NPN_FinalizeAsyncSurfaceProcPtr) + sizeof(NPN_SetCurrentAsyncSurfaceProcPtr));
// Chromium's plug-in table: through `getsiteswithdata`, without `didComposite`.
constexpr std::uint16_t kPluginFuncsThroughSitesWithData =
    static_cast<std::uint16_t>(offsetof(NPPluginFuncs, getsiteswithdata) + sizeof(NPP_GetSitesWithDataProcPtr));

#if defined(_WIN64)
static_assert(offsetof(NPPluginFuncs, newp) == 8 && offsetof(NPPluginFuncs, event) == 80 &&
                  offsetof(NPPluginFuncs, javaClass) == 96 && offsetof(NPPluginFuncs, getvalue) == 104 &&
                  kPluginFuncsThroughSetValue == 120 && kPluginFuncsThroughSitesWithData == 160 &&
                  sizeof(NPPluginFuncs) == 168,
              "NPPluginFuncs layout: setvalue ends at 120, Chromium's table at 160, the whole at 168");
static_assert(offsetof(NPNetscapeFuncs, geturl) == 8 && offsetof(NPNetscapeFuncs, getJavaEnv) == 104 &&
                  offsetof(NPNetscapeFuncs, getJavaPeer) == 112 && offsetof(NPNetscapeFuncs, getvalue) == 136 &&
                  offsetof(NPNetscapeFuncs, createobject) == 224 && offsetof(NPNetscapeFuncs, retainobject) == 232 &&
                  offsetof(NPNetscapeFuncs, releaseobject) == 240 && offsetof(NPNetscapeFuncs, evaluate) == 264 &&
                  offsetof(NPNetscapeFuncs, releasevariantvalue) == 312 &&
                  offsetof(NPNetscapeFuncs, setexception) == 320 &&
                  offsetof(NPNetscapeFuncs, pluginthreadasynccall) == 352 &&
                  offsetof(NPNetscapeFuncs, construct) == 360 && offsetof(NPNetscapeFuncs, urlredirectresponse) == 440,
              "NPNetscapeFuncs offsets");
static_assert(sizeof(NPNetscapeFuncs) == kNetscapeFuncsThroughRedirectResponse &&
                  kNetscapeFuncsThroughRedirectResponse == 448 && kNetscapeFuncsWithAsyncSurface == 472,
              "NPNetscapeFuncs is 448 bytes up to and including urlredirectresponse");
#elif defined(_WIN32)
static_assert(offsetof(NPPluginFuncs, newp) == 4 && offsetof(NPPluginFuncs, event) == 40 &&
                  offsetof(NPPluginFuncs, javaClass) == 48 && offsetof(NPPluginFuncs, getvalue) == 52 &&
                  kPluginFuncsThroughSetValue == 60 && kPluginFuncsThroughSitesWithData == 80 &&
                  sizeof(NPPluginFuncs) == 84,
              "NPPluginFuncs layout: setvalue ends at 60, Chromium's table at 80, the whole at 84");
static_assert(offsetof(NPNetscapeFuncs, geturl) == 4 && offsetof(NPNetscapeFuncs, getJavaEnv) == 52 &&
                  offsetof(NPNetscapeFuncs, getJavaPeer) == 56 && offsetof(NPNetscapeFuncs, getvalue) == 68 &&
                  offsetof(NPNetscapeFuncs, createobject) == 112 && offsetof(NPNetscapeFuncs, retainobject) == 116 &&
                  offsetof(NPNetscapeFuncs, releaseobject) == 120 && offsetof(NPNetscapeFuncs, evaluate) == 132 &&
                  offsetof(NPNetscapeFuncs, releasevariantvalue) == 156 &&
                  offsetof(NPNetscapeFuncs, setexception) == 160 &&
                  offsetof(NPNetscapeFuncs, pluginthreadasynccall) == 176 &&
                  offsetof(NPNetscapeFuncs, construct) == 180 && offsetof(NPNetscapeFuncs, urlredirectresponse) == 220,
              "NPNetscapeFuncs offsets");
static_assert(sizeof(NPNetscapeFuncs) == kNetscapeFuncsThroughRedirectResponse &&
                  kNetscapeFuncsThroughRedirectResponse == 224 && kNetscapeFuncsWithAsyncSurface == 236,
              "NPNetscapeFuncs is 224 bytes up to and including urlredirectresponse");
#endif
