#include <windows.h>

#include "plugin/PluginState.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD /*reason*/, LPVOID /*reserved*/) {
  g_moduleHandle = module;
  return TRUE;
}
