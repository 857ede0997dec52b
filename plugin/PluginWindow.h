// The plug-in window: status picture, device arrival and removal, card reads.
#pragma once

#include <windows.h>
#include <dbt.h>

class CPluginInstance;

// Installed on the browser's window by CPluginInstance::AttachWindow; finds the instance
// through the window's user data. Every message ends in DefWindowProcA, and nothing
// thrown inside leaves it.
LRESULT CALLBACK PluginWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Arrival: opens the reader unless it is being listened to; removal of the reader's own
// interface: stops listening. Either way the page is told and a repaint of `window` is
// asked for. Other events and device types, or an instance without a reader manager yet,
// change nothing.
int OnDeviceChange(HWND window, WPARAM event, const DEV_BROADCAST_HDR* header, CPluginInstance& instance);

// Where a picture of the given size goes to sit in the middle of `client` (it may stick
// out on any side).
POINT CentredOrigin(const RECT& client, int width, int height);
