#include "json/ParseErrorReason.h"

namespace {

struct Phrase {
  std::string_view theirs;
  const char* ours;
};

// What the parser expected next comes first: where the structure needs a separator or the
// end, whatever stands there is wrong, however it is spelt.
constexpr Phrase kExpected[] = {
    {"; expected end of input", "more text after the object"},
    {"; expected ':'", "expected ':'"},
    {"; expected '}'", "expected ',' or '}'"},
    {"; expected ']'", "expected ',' or ']'"},
};

// Then what was wrong inside the token read; a string where a member name belongs is read
// as one, so its faults come before the missing name.
constexpr Phrase kFound[] = {
    {"missing closing quote", "unterminated string"},
    {"control character", "control character in a string"},
    {"forbidden character after backslash", "unknown escape"},
    {"surrogate", "unpaired surrogate"},
    {"ill-formed UTF-8", "invalid UTF-8"},
    {"invalid number", "bad number"},
    {"number overflow", "number out of range"},
    {"; expected string literal", "expected a member name"},
    {"unexpected end of input", "input ends where a value should be"},
};

const char* Reason(std::string_view message, bool atEnd) {
  for (const Phrase& phrase : kExpected) {
    if (message.find(phrase.theirs) != std::string_view::npos) return phrase.ours;
  }
  // The parser says the same of "\u00" cut by the end and of "\u00G0".
  if (message.find("must be followed by 4 hex digits") != std::string_view::npos) {
    return atEnd ? "unterminated string" : "bad hex digit in \\u escape";
  }
  for (const Phrase& phrase : kFound) {
    if (message.find(phrase.theirs) != std::string_view::npos) return phrase.ours;
  }
  return "unexpected character";
}

}  // namespace

std::string ParseErrorReason(std::string_view message, const std::string& lastToken, bool atEnd) {
  // The quoted token could hold any of the phrases above: it is taken out before the search.
  std::string own(message);
  const std::string quoted = "; last read: '" + lastToken + "'";
  const std::size_t at = own.find(quoted);
  if (at != std::string::npos) own.erase(at, quoted.size());
  return Reason(own, atEnd);
}
