// The thirteen functions of the plug-in table handed to the browser by NP_GetEntryPoints.
#pragma once

#include "plugin/npapi/npfunctions.h"

NPError NP_CDECL NPP_New(NPMIMEType pluginType, NPP instance, std::uint16_t mode, std::int16_t argc, char* argn[],
                         char* argv[], NPSavedData* saved);
NPError NP_CDECL NPP_Destroy(NPP instance, NPSavedData** save);
NPError NP_CDECL NPP_SetWindow(NPP instance, NPWindow* window);
NPError NP_CDECL NPP_NewStream(NPP instance, NPMIMEType type, NPStream* stream, NPBool seekable, std::uint16_t* stype);
NPError NP_CDECL NPP_DestroyStream(NPP instance, NPStream* stream, NPReason reason);
void NP_CDECL NPP_StreamAsFile(NPP instance, NPStream* stream, const char* fname);
std::int32_t NP_CDECL NPP_WriteReady(NPP instance, NPStream* stream);
std::int32_t NP_CDECL NPP_Write(NPP instance, NPStream* stream, std::int32_t offset, std::int32_t len, void* buffer);
void NP_CDECL NPP_Print(NPP instance, NPPrint* platformPrint);
std::int16_t NP_CDECL NPP_HandleEvent(NPP instance, void* event);
void NP_CDECL NPP_URLNotify(NPP instance, const char* url, NPReason reason, void* notifyData);
NPError NP_CDECL NPP_GetValue(NPP instance, NPPVariable variable, void* value);
NPError NP_CDECL NPP_SetValue(NPP instance, NPNVariable variable, void* value);

// What NPP_GetValue answers for the name and the description.
constexpr char kPluginName[] = "npTARVX";
constexpr char kPluginDescription[] = "TarvoUsbICReader plugin";
// What NPP_WriteReady offers for a valid instance.
constexpr std::int32_t kWriteReadyBytes = 0x0FFFFFFF;
