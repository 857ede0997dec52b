// A receiver that is handed every accepted card number as it is read.
#pragma once

#include <cstdint>

class ICardSink {
 public:
  // Called on the listen thread, under the listener's lock, once per accepted card and in
  // the order the cards were read. It must not block for long (the next report waits) and
  // must not throw: there is no one on the listen thread to hand an exception to.
  virtual void OnCard(std::uint32_t cardNumber) noexcept = 0;

 protected:
  // Nothing is ever destroyed through this interface.
  ~ICardSink() = default;
};
