// The per-instance record: one for every embedded element of the plug-in's MIME type.
#pragma once

#include <windows.h>

#include <memory>

#include "plugin/npapi/npfunctions.h"
#include "reader/CardListener.h"

class CUsbICReaderManager;

class CPluginInstance {
 public:
  explicit CPluginInstance(NPP instance);
  // Drops the record's reference to its scriptable object. The reader manager must be
  // gone before (DetachWindow): its listen thread writes into `cardListener`.
  ~CPluginInstance();

  CPluginInstance(const CPluginInstance&) = delete;
  CPluginInstance& operator=(const CPluginInstance&) = delete;

  // The one-time set-up on the first native window: subclass it, create the reader
  // manager, register for device notifications, open the reader, register the listener.
  // A failure undoes every step, so the record is as before and may try again; false then.
  bool AttachWindow(NPWindow* window) noexcept;
  // Destroys the reader manager (joining its listen thread), then gives the window its
  // previous window procedure back.
  void DetachWindow() noexcept;

  // The instance's scriptable object with one reference added for the caller; created
  // on first use. Null when the browser cannot create or retain it.
  NPObject* AcquireScriptableObject();

  // Tells the page the last card number: "CardReaded(<number>);". The page may destroy
  // this instance while its function runs, so nothing of the record is used afterwards.
  int FireCardReaded();

  NPP npp;
  HWND hwnd;
  WNDPROC previousWndProc;
  bool initialized;
  NPObject* scriptableObject;
  std::unique_ptr<CUsbICReaderManager> readerManager;
  CardListener cardListener;
};
