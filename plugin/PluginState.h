// State shared by the whole plug-in layer.
#pragma once

#include <windows.h>

// The library's own module handle, kept by DllMain; the status bitmaps are loaded from it.
extern HINSTANCE g_moduleHandle;
