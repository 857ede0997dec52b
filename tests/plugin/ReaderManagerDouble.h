// A test double of the reader manager and its listen thread, linked in place of the
// reader library: the plug-in layer's tests decide what the manager does and see what
// the plug-in asked of it. The listen thread is a real thread that waits for its stop
// event, so "running" means what it means in the product.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "reader/CardListener.h"

namespace ReaderDouble {

// What the managers created from now on do.
struct Behaviour {
  bool constructorThrows = false;
  bool openReaderThrows = false;
  bool addListenerThrows = false;
  bool stopThrows = false;     // CHIDListenThread::Stop, after the manager exists
  bool readerPresent = false;  // OpenReader finds the reader and starts listening
  std::string readerPath = "\\\\?\\hid#vid_4154&pid_5652#sim#{4d1e55b2-f16f-11cf-88cb-001111000030}";
};

// What the plug-in asked of the managers.
struct Calls {
  int constructed = 0;
  int destroyed = 0;
  int openReader = 0;
  int stop = 0;
  std::vector<HWND> registeredWindows;
  std::vector<CardListener*> listeners;
};

// Both are reset by Reset(); tests run one at a time on one thread.
Behaviour& Configure();
const Calls& Observed();
void Reset();

// Delivers a card the way the manager does: stores the number in the listener under its
// lock and posts WM_CARD_READ to its window.
void DeliverCard(CardListener& listener, std::uint32_t cardNumber);

}  // namespace ReaderDouble
