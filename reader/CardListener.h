// A receiver of card numbers registered with the reader manager.
#pragma once

#include <windows.h>

#include <cstdint>

#include "reader/CardSink.h"
#include "win32/CriticalSection.h"

// Private window message posted for each card: wParam the manager, lParam the listener.
constexpr UINT WM_CARD_READ = WM_APP + 1;

struct CardListener {
  // 0: post WM_CARD_READ to the window in `target`; 1: SetEvent(`target`);
  // anything else: only store the number.
  std::int32_t notifyMode = 0;
  HANDLE target = nullptr;       // an HWND in mode 0, an event in mode 1
  std::uint32_t cardNumber = 0;  // the last card number delivered
  // When set, also handed every card number, whatever the mode: a receiver that must see
  // each card once, where the window message only says "look at the last number".
  ICardSink* sink = nullptr;
  kelmar::Win32::CCriticalSection lock;  // guards the fields above
};
