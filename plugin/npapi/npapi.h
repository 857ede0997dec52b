// NPAPI core types and constants for 32-bit and 64-bit Windows, written for this project from the
// published interface layouts. Only what the plug-in and the project's browser host use.
#pragma once

#include <cstdint>

// Every NPP_, NPN_ and NPClass function is cdecl. It is spelt out so that a build with a
// different default convention cannot change the tables' calling convention.
#define NP_CDECL __cdecl
// The three DLL exports are stdcall (WINAPI) and exported without decoration. On x64 there is
// one calling convention and both keywords mean it.
#define NP_EXPORT_CALL __stdcall

using NPBool = unsigned char;
using NPError = std::int16_t;
using NPReason = std::int16_t;
using NPMIMEType = char*;

// An instance as the browser and the plug-in share it.
struct NPP_t {
  void* pdata;  // the plug-in's record
  void* ndata;  // the browser's record
};
using NPP = NPP_t*;

struct NPRect {
  std::uint16_t top;
  std::uint16_t left;
  std::uint16_t bottom;
  std::uint16_t right;
};

enum NPWindowType { NPWindowTypeWindow = 1, NPWindowTypeDrawable = 2 };

// Windows form: no platform-specific tail.
struct NPWindow {
  void* window;  // HWND for a windowed plug-in
  std::int32_t x;
  std::int32_t y;
  std::uint32_t width;
  std::uint32_t height;
  NPRect clipRect;
  NPWindowType type;
};

struct NPSavedData {
  std::int32_t len;
  void* buf;
};

// Windows event record passed to NPP_HandleEvent.
struct NPEvent {
  std::uint16_t event;
  std::uintptr_t wParam;
  std::uintptr_t lParam;
};

// Only passed through by pointer here.
struct NPStream;
struct NPByteRange;
struct NPPrint;
struct NPMenu;
struct NPSize;
struct NPAsyncSurface;
using NPRegion = void*;  // an HRGN on Windows

// Selectors of NPP_GetValue / NPN_SetValue (plug-in variables).
enum NPPVariable {
  NPPVpluginNameString = 1,
  NPPVpluginDescriptionString = 2,
  NPPVpluginWindowBool = 3,
  NPPVpluginTransparentBool = 4,
  NPPVjavaClass = 5,
  NPPVpluginWindowSize = 6,
  NPPVpluginTimerInterval = 7,
  NPPVpluginScriptableInstance = 10,
  NPPVpluginScriptableIID = 11,
  NPPVjavascriptPushCallerBool = 12,
  NPPVpluginKeepLibraryInMemory = 13,
  NPPVpluginNeedsXEmbed = 14,
  NPPVpluginScriptableNPObject = 15,
  NPPVformValue = 16,
  NPPVpluginUrlRequestsDisplayedBool = 17,
  NPPVpluginWantsAllNetworkStreams = 18,
  NPPVpluginNativeAccessibleAtkPlugId = 19,
  NPPVpluginCancelSrcStream = 20,
  NPPVsupportsAdvancedKeyHandling = 21,
  NPPVpluginUsesDOMForCursorBool = 22,
  NPPVpluginDrawingModel = 1000
};

// Selectors of NPN_GetValue / NPP_SetValue (browser variables).
enum NPNVariable {
  NPNVxDisplay = 1,
  NPNVxtAppContext = 2,
  NPNVnetscapeWindow = 3,
  NPNVjavascriptEnabledBool = 4,
  NPNVasdEnabledBool = 5,
  NPNVisOfflineBool = 6,
  NPNVserviceManager = 10,
  NPNVDOMElement = 11,
  NPNVDOMWindow = 12,
  NPNVToolkit = 13,
  NPNVSupportsXEmbedBool = 14,
  NPNVWindowNPObject = 15,
  NPNVPluginElementNPObject = 16,
  NPNVSupportsWindowless = 17,
  NPNVprivateModeBool = 18,
  NPNVsupportsAdvancedKeyHandling = 21,
  NPNVdocumentOrigin = 22
};

enum NPNURLVariable { NPNURLVCookie = 501, NPNURLVProxy = 502 };
enum NPFocusDirection { NPFocusNext = 0, NPFocusPrevious = 1 };
enum NPCoordinateSpace {
  NPCoordinateSpacePlugin = 1,
  NPCoordinateSpaceWindow = 2,
  NPCoordinateSpaceFlippedWindow = 3,
  NPCoordinateSpaceScreen = 4,
  NPCoordinateSpaceFlippedScreen = 5
};
enum NPImageFormat { NPImageFormatBGRA32 = 1, NPImageFormatBGRX32 = 2 };

// Versions are (major << 8) | minor; the major version has always been 0.
constexpr std::uint16_t NP_VERSION_MAJOR = 0;
constexpr std::uint16_t NP_VERSION_MINOR = 29;

// NPP_New modes.
constexpr std::uint16_t NP_EMBED = 1;
constexpr std::uint16_t NP_FULL = 2;

// NPP_HandleEvent results.
constexpr std::int16_t kNPEventNotHandled = 0;
constexpr std::int16_t kNPEventHandled = 1;

constexpr NPError NPERR_NO_ERROR = 0;
constexpr NPError NPERR_GENERIC_ERROR = 1;
constexpr NPError NPERR_INVALID_INSTANCE_ERROR = 2;
constexpr NPError NPERR_INVALID_FUNCTABLE_ERROR = 3;
constexpr NPError NPERR_MODULE_LOAD_FAILED_ERROR = 4;
constexpr NPError NPERR_OUT_OF_MEMORY_ERROR = 5;
constexpr NPError NPERR_INVALID_PLUGIN_ERROR = 6;
constexpr NPError NPERR_INVALID_PLUGIN_DIR_ERROR = 7;
constexpr NPError NPERR_INCOMPATIBLE_VERSION_ERROR = 8;
constexpr NPError NPERR_INVALID_PARAM = 9;
constexpr NPError NPERR_INVALID_URL = 10;
constexpr NPError NPERR_FILE_NOT_FOUND = 11;
constexpr NPError NPERR_NO_DATA = 12;
constexpr NPError NPERR_STREAM_NOT_SEEKABLE = 13;

constexpr NPReason NPRES_DONE = 0;
constexpr NPReason NPRES_NETWORK_ERR = 1;
constexpr NPReason NPRES_USER_BREAK = 2;

#if defined(_WIN32)
#include <cstddef>
// The Windows layouts browsers were built with, for both pointer sizes: every field after
// a pointer moves with it.
static_assert(sizeof(NPBool) == 1 && sizeof(NPError) == 2 && sizeof(NPReason) == 2, "scalar sizes");
static_assert(sizeof(NPWindowType) == 4 && sizeof(NPPVariable) == 4 && sizeof(NPNVariable) == 4,
              "enumerations are int-sized");
static_assert(sizeof(NPRect) == 8 && offsetof(NPRect, right) == 6, "NPRect layout");
#if defined(_WIN64)
static_assert(sizeof(NPP_t) == 16 && offsetof(NPP_t, ndata) == 8, "NPP_t layout");
static_assert(offsetof(NPWindow, x) == 8 && offsetof(NPWindow, width) == 16 && offsetof(NPWindow, height) == 20 &&
                  offsetof(NPWindow, clipRect) == 24 && offsetof(NPWindow, type) == 32 && sizeof(NPWindow) == 40,
              "NPWindow layout");
static_assert(sizeof(NPSavedData) == 16 && offsetof(NPSavedData, buf) == 8, "NPSavedData layout");
static_assert(sizeof(NPEvent) == 24 && offsetof(NPEvent, wParam) == 8 && offsetof(NPEvent, lParam) == 16,
              "NPEvent layout");
#else
static_assert(sizeof(NPP_t) == 8 && offsetof(NPP_t, ndata) == 4, "NPP_t layout");
static_assert(offsetof(NPWindow, x) == 4 && offsetof(NPWindow, width) == 12 && offsetof(NPWindow, height) == 16 &&
                  offsetof(NPWindow, clipRect) == 20 && offsetof(NPWindow, type) == 28 && sizeof(NPWindow) == 32,
              "NPWindow layout");
static_assert(sizeof(NPSavedData) == 8 && offsetof(NPSavedData, buf) == 4, "NPSavedData layout");
static_assert(sizeof(NPEvent) == 12 && offsetof(NPEvent, wParam) == 4 && offsetof(NPEvent, lParam) == 8,
              "NPEvent layout");
#endif
#endif
