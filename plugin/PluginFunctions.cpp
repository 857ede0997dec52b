// The plug-in table's functions that do little: streams, printing, events, values.
#include "plugin/PluginFunctions.h"

#include "plugin/PluginInstance.h"

NPError NP_CDECL NPP_NewStream(NPP instance, NPMIMEType, NPStream*, NPBool, std::uint16_t*) {
  return instance == nullptr ? NPERR_INVALID_INSTANCE_ERROR : NPERR_NO_ERROR;
}

NPError NP_CDECL NPP_DestroyStream(NPP instance, NPStream*, NPReason) {
  return instance == nullptr ? NPERR_INVALID_INSTANCE_ERROR : NPERR_NO_ERROR;
}

void NP_CDECL NPP_StreamAsFile(NPP, NPStream*, const char*) {}

// Byte counts: a null instance gets the value of NPERR_INVALID_INSTANCE_ERROR.
std::int32_t NP_CDECL NPP_WriteReady(NPP instance, NPStream*) {
  return instance == nullptr ? NPERR_INVALID_INSTANCE_ERROR : kWriteReadyBytes;
}

// All data offered counts as consumed and is dropped.
std::int32_t NP_CDECL NPP_Write(NPP instance, NPStream*, std::int32_t, std::int32_t len, void*) {
  return instance == nullptr ? NPERR_INVALID_INSTANCE_ERROR : len;
}

void NP_CDECL NPP_Print(NPP, NPPrint*) {}

std::int16_t NP_CDECL NPP_HandleEvent(NPP, void*) { return kNPEventNotHandled; }

void NP_CDECL NPP_URLNotify(NPP, const char*, NPReason, void*) {}

namespace {

// A browser that passes no place for the answer is refused before anything is created
// or retained for it.
NPError StoreText(void* value, const char* text) {
  if (value == nullptr) return NPERR_GENERIC_ERROR;
  *static_cast<const char**>(value) = text;
  return NPERR_NO_ERROR;
}

NPError StoreScriptableObject(void* value, CPluginInstance& record) {
  if (value == nullptr) return NPERR_GENERIC_ERROR;
  // Also NPERR_NO_ERROR when the browser could not make the object: it gets null.
  *static_cast<NPObject**>(value) = record.AcquireScriptableObject();
  return NPERR_NO_ERROR;
}

}  // namespace

NPError NP_CDECL NPP_GetValue(NPP instance, NPPVariable variable, void* value) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  CPluginInstance* record = static_cast<CPluginInstance*>(instance->pdata);
  if (record == nullptr) return NPERR_GENERIC_ERROR;
  switch (variable) {
    case NPPVpluginNameString:
      return StoreText(value, kPluginName);
    case NPPVpluginDescriptionString:
      return StoreText(value, kPluginDescription);
    case NPPVpluginScriptableNPObject:
      return StoreScriptableObject(value, *record);
    default:
      return NPERR_GENERIC_ERROR;
  }
}

NPError NP_CDECL NPP_SetValue(NPP instance, NPNVariable, void*) {
  return instance == nullptr ? NPERR_INVALID_INSTANCE_ERROR : NPERR_NO_ERROR;
}
