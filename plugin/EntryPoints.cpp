#include "plugin/EntryPoints.h"

#include <cstddef>
#include <cstring>

#include "plugin/PluginFunctions.h"
#include "plugin/PluginState.h"

NPError NP_EXPORT_CALL NP_GetEntryPoints(NPPluginFuncs* pluginFuncs) {
  if (pluginFuncs == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
  if (pluginFuncs->size < kPluginFuncsThroughSetValue) return NPERR_INVALID_FUNCTABLE_ERROR;
  // `size`, `version` and `javaClass` stay the browser's, and nothing past `setvalue` is
  // written: the browser's table may be only that large.
  pluginFuncs->newp = NPP_New;
  pluginFuncs->destroy = NPP_Destroy;
  pluginFuncs->setwindow = NPP_SetWindow;
  pluginFuncs->newstream = NPP_NewStream;
  pluginFuncs->destroystream = NPP_DestroyStream;
  pluginFuncs->asfile = NPP_StreamAsFile;
  pluginFuncs->writeready = NPP_WriteReady;
  pluginFuncs->write = NPP_Write;
  pluginFuncs->print = NPP_Print;
  pluginFuncs->event = NPP_HandleEvent;
  pluginFuncs->urlnotify = NPP_URLNotify;
  pluginFuncs->getvalue = NPP_GetValue;
  pluginFuncs->setvalue = NPP_SetValue;
  return NPERR_NO_ERROR;
}

NPError NP_EXPORT_CALL NP_Initialize(NPNetscapeFuncs* browserFuncs) {
  if (browserFuncs == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
  if ((browserFuncs->version >> 8) != NP_VERSION_MAJOR) return NPERR_INCOMPATIBLE_VERSION_ERROR;
  if (browserFuncs->size < kNetscapeFuncsThroughRedirectResponse) return NPERR_INVALID_FUNCTABLE_ERROR;

  // The entries from `geturl` to `setexception`; the later ones are never used and stay
  // null, so are the obsolete Java ones.
  constexpr std::size_t kFirst = offsetof(NPNetscapeFuncs, geturl);
  constexpr std::size_t kEnd = offsetof(NPNetscapeFuncs, setexception) + sizeof(NPN_SetExceptionProcPtr);
  NPNetscapeFuncs copy{};
  copy.size = browserFuncs->size;
  copy.version = browserFuncs->version;
  std::memcpy(reinterpret_cast<unsigned char*>(&copy) + kFirst,
              reinterpret_cast<const unsigned char*>(browserFuncs) + kFirst, kEnd - kFirst);
  copy.getJavaEnv = nullptr;
  copy.getJavaPeer = nullptr;
  g_hostFuncs = copy;
  return NPERR_NO_ERROR;
}

NPError NP_EXPORT_CALL NP_Shutdown() { return NPERR_NO_ERROR; }
