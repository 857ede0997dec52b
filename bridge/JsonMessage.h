// A strict check of one message from the browser: exactly one JSON object (RFC 8259, in
// well-formed UTF-8, white space alone around it; json/StrictJson.h), and its top-level
// "type" when that is a string. Platform-neutral (no Windows headers), so it is also
// tested natively under the sanitizers. Never throws on any input but std::bad_alloc.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct JsonMessage {
  bool valid = false;
  // Why the text was refused: what was wrong and, where the parser says, at which byte
  // (counted from 0). The input itself is never quoted, so nothing the page sent ends up
  // in the host's log.
  std::string error;
  // The top-level "type" member, decoded, when there is one and it is a string.
  std::optional<std::string> type;
};

// Refused besides malformed JSON: nesting deeper than BridgeProtocol::kMaxJsonDepth, a
// byte order mark, a \u escape that leaves a surrogate unpaired, and a second top-level
// "type" member (parsers disagree about which one wins).
JsonMessage CheckJsonMessage(std::string_view text);
