// The library's three exports, stdcall and exported by their plain names (npTARVX.def).
#pragma once

#include "plugin/npapi/npfunctions.h"

extern "C" {
// Fills the thirteen entries from `newp` to `setvalue`; nothing else of the table.
NPError NP_EXPORT_CALL NP_GetEntryPoints(NPPluginFuncs* pluginFuncs);
// Checks the browser's table and keeps a copy of it in g_hostFuncs.
NPError NP_EXPORT_CALL NP_Initialize(NPNetscapeFuncs* browserFuncs);
NPError NP_EXPORT_CALL NP_Shutdown();
}
