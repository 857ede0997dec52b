#include "plugin/PluginState.h"

HINSTANCE g_moduleHandle = nullptr;
NPNetscapeFuncs g_hostFuncs = {};
