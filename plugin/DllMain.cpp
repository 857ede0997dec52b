#include <windows.h>

#include "plugin/PluginState.h"

HINSTANCE g_moduleHandle = nullptr;

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD /*reason*/, LPVOID /*reserved*/) {
  g_moduleHandle = module;
  return TRUE;
}
