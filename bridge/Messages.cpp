#include "bridge/Messages.h"

// The product version (the CMake project's VERSION) and the protocol's number (PROTOCOL in
// extension/src/names.js, which the extension compares with its own) come from the build.
#ifndef TARVX_PRODUCT_VERSION
#error "TARVX_PRODUCT_VERSION must be defined by the build"
#endif
#ifndef TARVX_BRIDGE_PROTOCOL
#error "TARVX_BRIDGE_PROTOCOL must be defined by the build"
#endif

std::string HelloMessage() {
  return std::string(R"({"type":"hello","protocol":)") + std::to_string(TARVX_BRIDGE_PROTOCOL) +
         R"(,"version":")" TARVX_PRODUCT_VERSION R"("})";
}

std::string StatusMessage(bool listening) {
  return listening ? R"({"type":"status","listening":true})" : R"({"type":"status","listening":false})";
}

std::string ReaderMessage(ReaderState state) {
  switch (state) {
    case ReaderState::Listening:
      return R"({"type":"reader","state":"listening"})";
    case ReaderState::NoReader:
      return R"({"type":"reader","state":"no-reader"})";
    case ReaderState::CannotOpen:
      return R"({"type":"reader","state":"cannot-open"})";
    case ReaderState::Ended:
      break;
  }
  return R"({"type":"reader","state":"ended"})";
}

std::string DeviceMessage(int change) { return R"({"type":"device","change":)" + std::to_string(change) + "}"; }

std::string CardMessage(std::uint32_t cardNumber) {
  return R"({"type":"card","number":)" + std::to_string(cardNumber) + "}";
}
