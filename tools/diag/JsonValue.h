// A small JSON reader for the host manifests tarvx-diag checks: the whole document as a
// tree (RFC 8259; a UTF-8 byte order mark in front is passed over, as the browsers do).
// Platform-neutral. Never throws on any input but std::bad_alloc.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct JsonValue {
  enum class Kind { Null, Boolean, Number, String, Array, Object };
  Kind kind = Kind::Null;
  bool boolean = false;
  std::string text;  // a string's value, decoded
  std::vector<JsonValue> items;
  std::vector<std::pair<std::string, JsonValue>> members;

  // The first member of that name, or null when this is no object or has none.
  const JsonValue* Member(std::string_view name) const;
  bool IsString() const { return kind == Kind::String; }
};

struct JsonDocument {
  std::optional<JsonValue> value;  // nothing: the text is not JSON
  std::string error;               // why, with the byte offset, when there is no value
};

JsonDocument ParseJson(std::string_view text);
