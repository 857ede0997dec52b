// State shared by the whole plug-in layer.
#pragma once

#include <windows.h>

#include "plugin/npapi/npfunctions.h"

// The library's own module handle, kept by DllMain; the status bitmaps are loaded from it.
extern HINSTANCE g_moduleHandle;

// The copy of the browser's function table made by NP_Initialize: `size`, `version` and
// the entries from `geturl` to `setexception` (the Java entries null); the rest null.
// Every call into the browser goes through it (see HostCalls.h).
extern NPNetscapeFuncs g_hostFuncs;
