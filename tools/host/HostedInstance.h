// One embedded element of the page: its child window, its NPP, and the NPP calls a
// browser makes for it.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "plugin/npapi/npfunctions.h"
#include "tools/host/WindowPixels.h"

namespace nphost {

class Browser;

using Attributes = std::vector<std::pair<std::string, std::string>>;

class HostedInstance {
 public:
  // Creates the element's child window of the page; NPP_New comes with New().
  HostedInstance(Browser& browser, HWND page, int x, int y, int width, int height);
  // Destroys the window; the instance must have been destroyed before.
  ~HostedInstance();
  HostedInstance(const HostedInstance&) = delete;
  HostedInstance& operator=(const HostedInstance&) = delete;

  NPP Npp() { return &m_npp; }
  // The element's own window, which the browser hands to the plug-in.
  HWND Window() const { return m_window; }
  // The window procedure the element's window had before any plug-in touched it.
  static WNDPROC HostWindowProcedure();

  // NPP_New with the element's attributes, in embed mode.
  NPError New(const std::string& mimeType, const Attributes& attributes);
  // NPP_SetWindow with the element's window, position and size.
  NPError SetWindow();
  // NPP_SetWindow with another native window (null too), at the element's place.
  NPError SetWindow(HWND window);
  // NPP_SetWindow with no NPWindow at all.
  NPError SetNullWindowRecord();
  NPError GetValue(NPPVariable variable, void* value);
  // As the browser's profile does it: a null window first (Chromium), NPP_Destroy with
  // the profile's saved-data argument, then the objects of the instance (late Firefox).
  NPError Destroy();
  bool IsDestroyed() const { return m_destroyed; }

  void Resize(int width, int height);
  // Invalidates and repaints the element's window, then reads its pixels back.
  Pixels Capture();
  // Application messages (WM_APP and up) that reached the host's own window procedure,
  // that is, messages no plug-in procedure took first.
  int HostProcedureAppMessages() const { return m_hostProcedureAppMessages; }

 private:
  static LRESULT CALLBACK ElementWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  NPWindow WindowRecord(HWND window) const;

  Browser& m_browser;
  HWND m_window;
  NPP_t m_npp;
  int m_x;
  int m_y;
  int m_width;
  int m_height;
  std::vector<std::string> m_names;
  std::vector<std::string> m_values;
  bool m_destroyed;
  int m_hostProcedureAppMessages;
};

}  // namespace nphost
