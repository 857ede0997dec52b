// Fuzz target for the host's check of the browser's messages: whatever a page manages to
// get into a frame.
//
// Property: no crash and no undefined behaviour (AddressSanitizer, UBSan); an accepted
// text is an object with only white space around it, stays accepted with white space
// added and is refused with anything else added; a refusal always says why.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "bridge/JsonMessage.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "property violated: %s\n", what);
  std::abort();
}

void CheckAccepted(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\n\r");
  const std::size_t last = text.find_last_not_of(" \t\n\r");
  if (first == std::string_view::npos || text[first] != '{' || text[last] != '}') Fail("accepted a non-object");
  const std::string spaced = "\n" + std::string(text) + " \t";
  if (!CheckJsonMessage(spaced).valid) Fail("white space around an accepted text changed the verdict");
  if (CheckJsonMessage(std::string(text) + "0").valid) Fail("accepted an object followed by more");
  if (CheckJsonMessage(std::string(text) + ",{}").valid) Fail("accepted two values");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const JsonMessage message = CheckJsonMessage(text);
  if (message.valid) {
    if (!message.error.empty()) Fail("an accepted text with an error");
    CheckAccepted(text);
  } else {
    if (message.error.empty()) Fail("a refusal without a reason");
    if (message.type.has_value()) Fail("a type from a refused text");
  }
  return 0;
}
