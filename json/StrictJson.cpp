#include "json/StrictJson.h"

#include <cstddef>
#include <utility>

#include "json/ParseErrorReason.h"

namespace {

using Json = nlohmann::json;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kWhiteSpace = " \t\n\r";

std::string At(std::string what, std::size_t byte) { return std::move(what) + " at byte " + std::to_string(byte); }

JsonObjectRead Refused(std::string error) { return {std::nullopt, std::move(error)}; }

// Follows the parser's events to apply the rules RFC 8259 leaves to the reader; builds
// nothing. A rule it applies stops the parse where the text breaks it.
class RuleCheck final : public nlohmann::json_sax<Json> {
 public:
  RuleCheck(const JsonRules& rules, std::size_t size) : m_rules(rules), m_size(size) {}

  bool null() override { return true; }
  bool boolean(bool /*value*/) override { return true; }
  bool number_integer(number_integer_t /*value*/) override { return true; }
  bool number_unsigned(number_unsigned_t /*value*/) override { return true; }
  bool number_float(number_float_t /*value*/, const string_t& /*text*/) override { return true; }
  bool string(string_t& /*value*/) override { return true; }
  bool binary(binary_t& /*value*/) override { return true; }
  bool start_object(std::size_t /*elements*/) override { return Open(); }
  bool end_object() override { return Close(); }
  bool start_array(std::size_t /*elements*/) override { return Open(); }
  bool end_array() override { return Close(); }

  bool key(string_t& name) override {
    if (m_depth != 1 || m_rules.onceAtTop.empty() || name != m_rules.onceAtTop) return true;
    if (m_onceSeen) return Refuse("a second \"" + std::string(m_rules.onceAtTop) + "\" member");
    m_onceSeen = true;
    return true;
  }

  // `position` counts the bytes read, the end of the input as one more.
  bool parse_error(std::size_t position, const std::string& lastToken, const Json::exception& error) override {
    const std::size_t byte = position > 0 ? position - 1 : 0;
    return Refuse(At(ParseErrorReason(error.what(), lastToken, byte >= m_size), byte));
  }

  const std::string& Error() const { return m_error; }

 private:
  bool Open() { return ++m_depth <= m_rules.maxDepth || Refuse("nested too deeply"); }
  bool Close() {
    --m_depth;
    return true;
  }
  bool Refuse(std::string error) {
    m_error = std::move(error);
    return false;
  }

  const JsonRules& m_rules;
  std::size_t m_size;
  int m_depth = 0;
  bool m_onceSeen = false;
  std::string m_error;
};

}  // namespace

JsonObjectRead ReadJsonObject(std::string_view text, const JsonRules& rules) {
  // The parser passes over a byte order mark by itself; where the rules refuse one, it is
  // the first thing that is not an object.
  const std::size_t start =
      rules.byteOrderMark && text.substr(0, kByteOrderMark.size()) == kByteOrderMark ? kByteOrderMark.size() : 0;
  const std::size_t first = text.find_first_not_of(kWhiteSpace, start);
  if (first == std::string_view::npos) return Refused(At("no JSON value", text.size()));
  if (text[first] != '{') return Refused(At("not a JSON object", first));

  const char* begin = text.data();
  const char* end = begin + text.size();
  RuleCheck check(rules, text.size());
  if (!Json::sax_parse(begin, end, &check)) return Refused(check.Error());
  // The parser takes a NUL byte for the end of the input. One inside a string was refused
  // above as a control character, so the first one is where the parse stopped.
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) return Refused(At("more text after the object", nul));
  // The text passed the stricter check above, so this parse cannot fail.
  return {Json::parse(begin, end, nullptr, /*allow_exceptions=*/false), {}};
}
