// NPP_New, NPP_SetWindow and NPP_Destroy: an instance's record from creation to teardown.
#include <new>

#include "plugin/PluginFunctions.h"
#include "plugin/PluginInstance.h"

namespace {

CPluginInstance* RecordOf(NPP instance) { return static_cast<CPluginInstance*>(instance->pdata); }

}  // namespace

NPError NP_CDECL NPP_New(NPMIMEType, NPP instance, std::uint16_t, std::int16_t, char*[], char*[], NPSavedData*) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  CPluginInstance* record = new (std::nothrow) CPluginInstance(instance);
  if (record == nullptr) return NPERR_OUT_OF_MEMORY_ERROR;
  instance->pdata = record;
  return NPERR_NO_ERROR;
}

NPError NP_CDECL NPP_SetWindow(NPP instance, NPWindow* window) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  if (window == nullptr) return NPERR_GENERIC_ERROR;
  CPluginInstance* record = RecordOf(instance);
  if (record == nullptr) return NPERR_GENERIC_ERROR;
  // Only the first call that brings a native window sets the instance up; the instance
  // stays on that window until it is destroyed.
  if (!record->initialized && window->window != nullptr) {
    if (!record->AttachWindow(window)) return NPERR_MODULE_LOAD_FAILED_ERROR;
  }
  return NPERR_NO_ERROR;
}

NPError NP_CDECL NPP_Destroy(NPP instance, NPSavedData**) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  CPluginInstance* record = RecordOf(instance);
  if (record == nullptr) return NPERR_NO_ERROR;
  // The manager (and with it the listen thread) goes first, then the window procedure:
  // a card message still queued then reaches the browser's procedure, not a freed record.
  record->DetachWindow();
  delete record;
  instance->pdata = nullptr;
  return NPERR_NO_ERROR;
}
