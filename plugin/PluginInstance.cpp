#include "plugin/PluginInstance.h"

#include <cstdint>
#include <string>

#include "plugin/HostCalls.h"
#include "plugin/PageCallbacks.h"
#include "plugin/PluginWindow.h"
#include "plugin/ScriptableObject.h"
#include "reader/UsbICReaderManager.h"
#include "win32/CriticalSection.h"
#include "win32/IntegerPointer.h"

namespace {

// The pointer-sized window fields; on 32-bit Windows these are SetWindowLongA's own.
WNDPROC SetWindowProcedure(HWND window, WNDPROC procedure) {
  return kelmar::Win32::PointerFromInteger<WNDPROC>(
      SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
}

}  // namespace

CPluginInstance::CPluginInstance(NPP instance)
    : npp(instance),
      hwnd(nullptr),
      previousWndProc(nullptr),
      initialized(false),
      scriptableObject(nullptr),
      readerManager(),
      cardListener() {}

CPluginInstance::~CPluginInstance() {
  if (scriptableObject != nullptr) NPN_ReleaseObject(scriptableObject);
}

bool CPluginInstance::AttachWindow(NPWindow* window) noexcept {
  HWND target = static_cast<HWND>(window->window);
  // A window procedure is never null, so null means the window could not be subclassed
  // (not a window, or one of another process): there is nothing to undo.
  WNDPROC replaced = SetWindowProcedure(target, PluginWindowProc);
  if (replaced == nullptr) return false;
  hwnd = target;
  previousWndProc = replaced;
  const LONG_PTR previousUserData = SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

  try {
    readerManager = std::make_unique<CUsbICReaderManager>();
    readerManager->RegisterHidNotification(hwnd);
    readerManager->OpenReader();
    cardListener.notifyMode = 0;
    cardListener.target = hwnd;
    cardListener.cardNumber = 0;
    readerManager->AddListener(&cardListener);
  } catch (...) {
    // No exception may reach the browser; the record goes back to its state before.
    readerManager.reset();
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, previousUserData);
    SetWindowProcedure(hwnd, previousWndProc);
    hwnd = nullptr;
    previousWndProc = nullptr;
    return false;
  }
  initialized = true;
  return true;
}

void CPluginInstance::DetachWindow() noexcept {
  readerManager.reset();
  if (hwnd != nullptr) SetWindowProcedure(hwnd, previousWndProc);
  hwnd = nullptr;
  previousWndProc = nullptr;
  initialized = false;
}

NPObject* CPluginInstance::AcquireScriptableObject() {
  if (scriptableObject == nullptr) {
    scriptableObject = NPN_CreateObject(npp, &ScriptablePluginObjectClass);
  }
  if (scriptableObject == nullptr) return nullptr;
  // The added reference is the caller's; an object handed out without it would be freed
  // under the record's feet when the caller releases it.
  if (NPN_RetainObject(scriptableObject) == nullptr) return nullptr;
  return scriptableObject;
}

int CPluginInstance::FireCardReaded() {
  std::uint32_t cardNumber = 0;
  {
    // Only the read is guarded: the page's function may run a nested message loop, and
    // the listen thread needs this lock to deliver the next card.
    kelmar::Win32::CCriticalSectionLock lock(cardListener.lock);
    cardNumber = cardListener.cardNumber;
  }
  EvaluateInPage(npp, CardReadedScript(cardNumber));
  return 0;
}
