#include "plugin/HostCalls.h"

#include "plugin/PluginState.h"

NPError NPN_GetValue(NPP npp, NPNVariable variable, void* value) {
  if (g_hostFuncs.getvalue == nullptr) return NPERR_GENERIC_ERROR;
  return g_hostFuncs.getvalue(npp, variable, value);
}

bool NPN_Evaluate(NPP npp, NPObject* scope, NPString* script, NPVariant* result) {
  if (g_hostFuncs.evaluate == nullptr) return false;
  return g_hostFuncs.evaluate(npp, scope, script, result);
}

void NPN_ReleaseVariantValue(NPVariant* variant) {
  if (g_hostFuncs.releasevariantvalue == nullptr) return;
  g_hostFuncs.releasevariantvalue(variant);
}

NPObject* NPN_CreateObject(NPP npp, NPClass* objectClass) {
  if (g_hostFuncs.createobject == nullptr) return nullptr;
  return g_hostFuncs.createobject(npp, objectClass);
}

NPObject* NPN_RetainObject(NPObject* object) {
  if (g_hostFuncs.retainobject == nullptr) return nullptr;
  return g_hostFuncs.retainobject(object);
}

void NPN_ReleaseObject(NPObject* object) {
  if (g_hostFuncs.releaseobject == nullptr) return;
  g_hostFuncs.releaseobject(object);
}
