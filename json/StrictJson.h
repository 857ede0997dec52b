// One JSON object read with nlohmann/json: RFC 8259 in well-formed UTF-8, white space alone
// around it, no comments, no unpaired surrogate escapes, under the rules below that our
// readers add. Platform-neutral. Never throws on any input but std::bad_alloc.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

struct JsonRules {
  // Nesting of arrays and objects allowed, the object itself counting as 1; deeper input is
  // refused, so that a hostile text cannot make the tree costly.
  int maxDepth = 64;
  // A UTF-8 byte order mark in front is passed over instead of refused.
  bool byteOrderMark = false;
  // A top-level member refused when it comes twice (parsers disagree about which one wins);
  // empty for none.
  std::string_view onceAtTop;
};

struct JsonObjectRead {
  std::optional<nlohmann::json> object;  // nothing: the text was refused
  // Why it was refused: what was wrong and, where the parser says, at which byte (counted
  // from 0). The text itself is never quoted, so nothing from it ends up in a log.
  std::string error;
};

JsonObjectRead ReadJsonObject(std::string_view text, const JsonRules& rules);
