// The browser functions the plug-in uses, called through g_hostFuncs. A browser may leave
// slots of its table empty, so an empty slot is never called: each call then fails the
// way the browser itself reports failure.
#pragma once

#include "plugin/npapi/npfunctions.h"

// NPERR_GENERIC_ERROR when the slot is empty.
NPError NPN_GetValue(NPP npp, NPNVariable variable, void* value);
// false when the slot is empty.
bool NPN_Evaluate(NPP npp, NPObject* scope, NPString* script, NPVariant* result);
void NPN_ReleaseVariantValue(NPVariant* variant);
// null when the slot is empty.
NPObject* NPN_CreateObject(NPP npp, NPClass* objectClass);
// null when the slot is empty: no reference was added.
NPObject* NPN_RetainObject(NPObject* object);
void NPN_ReleaseObject(NPObject* object);
