#include "tools/diag/JsonValue.h"

#include <cstdint>

namespace {

// Deep enough for any manifest; keeps the recursion bounded on hostile files.
constexpr int kMaxDepth = 64;

class Parser {
 public:
  explicit Parser(std::string_view text) : m_text(text) {}

  JsonDocument Document() {
    if (m_text.substr(0, 3) == "\xEF\xBB\xBF") m_pos = 3;
    JsonDocument document;
    JsonValue value;
    if (Value(value, 0)) {
      SkipSpace();
      if (m_pos == m_text.size()) {
        document.value = std::move(value);
        return document;
      }
      Fail("text after the end of the JSON value");
    }
    document.error = m_error + " at byte " + std::to_string(m_errorPos);
    return document;
  }

 private:
  bool Fail(const char* what) {
    if (m_error.empty()) {
      m_error = what;
      m_errorPos = m_pos;
    }
    return false;
  }

  void SkipSpace() {
    while (m_pos < m_text.size() &&
           (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' || m_text[m_pos] == '\n' || m_text[m_pos] == '\r')) {
      ++m_pos;
    }
  }

  bool Literal(std::string_view word) {
    if (m_text.substr(m_pos, word.size()) != word) return Fail("unexpected character");
    m_pos += word.size();
    return true;
  }

  bool Value(JsonValue& value, int depth) {
    if (depth > kMaxDepth) return Fail("nesting too deep");
    SkipSpace();
    if (m_pos >= m_text.size()) return Fail("unexpected end");
    switch (m_text[m_pos]) {
      case '{':
        value.kind = JsonValue::Kind::Object;
        return Object(value, depth);
      case '[':
        value.kind = JsonValue::Kind::Array;
        return Array(value, depth);
      case '"':
        value.kind = JsonValue::Kind::String;
        return String(value.text);
      case 't':
        value.kind = JsonValue::Kind::Boolean;
        value.boolean = true;
        return Literal("true");
      case 'f':
        value.kind = JsonValue::Kind::Boolean;
        return Literal("false");
      case 'n':
        value.kind = JsonValue::Kind::Null;
        return Literal("null");
      default:
        value.kind = JsonValue::Kind::Number;
        return Number();
    }
  }

  bool Object(JsonValue& value, int depth) {
    ++m_pos;  // {
    SkipSpace();
    if (m_pos < m_text.size() && m_text[m_pos] == '}') {
      ++m_pos;
      return true;
    }
    for (;;) {
      SkipSpace();
      if (m_pos >= m_text.size() || m_text[m_pos] != '"') return Fail("expected a member name");
      std::string name;
      if (!String(name)) return false;
      SkipSpace();
      if (m_pos >= m_text.size() || m_text[m_pos] != ':') return Fail("expected ':'");
      ++m_pos;
      JsonValue member;
      if (!Value(member, depth + 1)) return false;
      value.members.emplace_back(std::move(name), std::move(member));
      SkipSpace();
      if (m_pos < m_text.size() && m_text[m_pos] == ',') {
        ++m_pos;
        continue;
      }
      if (m_pos < m_text.size() && m_text[m_pos] == '}') {
        ++m_pos;
        return true;
      }
      return Fail("expected ',' or '}'");
    }
  }

  bool Array(JsonValue& value, int depth) {
    ++m_pos;  // [
    SkipSpace();
    if (m_pos < m_text.size() && m_text[m_pos] == ']') {
      ++m_pos;
      return true;
    }
    for (;;) {
      JsonValue item;
      if (!Value(item, depth + 1)) return false;
      value.items.push_back(std::move(item));
      SkipSpace();
      if (m_pos < m_text.size() && m_text[m_pos] == ',') {
        ++m_pos;
        continue;
      }
      if (m_pos < m_text.size() && m_text[m_pos] == ']') {
        ++m_pos;
        return true;
      }
      return Fail("expected ',' or ']'");
    }
  }

  bool Digits() {
    const std::size_t start = m_pos;
    while (m_pos < m_text.size() && m_text[m_pos] >= '0' && m_text[m_pos] <= '9') ++m_pos;
    return m_pos > start;
  }

  // The number's value is not needed by any check: only its form is.
  bool Number() {
    if (m_pos < m_text.size() && m_text[m_pos] == '-') ++m_pos;
    if (m_pos < m_text.size() && m_text[m_pos] == '0') {
      ++m_pos;
    } else if (!Digits()) {
      return Fail("unexpected character");
    }
    if (m_pos < m_text.size() && m_text[m_pos] == '.') {
      ++m_pos;
      if (!Digits()) return Fail("expected digits after '.'");
    }
    if (m_pos < m_text.size() && (m_text[m_pos] == 'e' || m_text[m_pos] == 'E')) {
      ++m_pos;
      if (m_pos < m_text.size() && (m_text[m_pos] == '+' || m_text[m_pos] == '-')) ++m_pos;
      if (!Digits()) return Fail("expected digits in the exponent");
    }
    return true;
  }

  bool Hex4(std::uint32_t& unit) {
    if (m_text.size() - m_pos < 4) return Fail("short \\u escape");
    unit = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = m_text[m_pos++];
      unit <<= 4;
      if (c >= '0' && c <= '9') {
        unit |= static_cast<std::uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        unit |= static_cast<std::uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        unit |= static_cast<std::uint32_t>(c - 'A' + 10);
      } else {
        return Fail("bad \\u escape");
      }
    }
    return true;
  }

  static void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  bool Escape(std::string& out) {
    if (m_pos >= m_text.size()) return Fail("unexpected end");
    const char c = m_text[m_pos++];
    switch (c) {
      case '"':
        out += '"';
        return true;
      case '\\':
        out += '\\';
        return true;
      case '/':
        out += '/';
        return true;
      case 'b':
        out += '\b';
        return true;
      case 'f':
        out += '\f';
        return true;
      case 'n':
        out += '\n';
        return true;
      case 'r':
        out += '\r';
        return true;
      case 't':
        out += '\t';
        return true;
      case 'u':
        break;
      default:
        return Fail("bad escape");
    }
    std::uint32_t unit = 0;
    if (!Hex4(unit)) return false;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      std::uint32_t low = 0;
      if (m_text.substr(m_pos, 2) != "\\u") return Fail("unpaired surrogate");
      m_pos += 2;
      if (!Hex4(low)) return false;
      if (low < 0xDC00 || low > 0xDFFF) return Fail("unpaired surrogate");
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return Fail("unpaired surrogate");
    }
    AppendUtf8(out, unit);
    return true;
  }

  bool String(std::string& out) {
    ++m_pos;  // "
    while (m_pos < m_text.size()) {
      const char c = m_text[m_pos];
      if (c == '"') {
        ++m_pos;
        return true;
      }
      if (static_cast<unsigned char>(c) < 0x20) return Fail("control character in a string");
      ++m_pos;
      if (c == '\\') {
        if (!Escape(out)) return false;
      } else {
        out += c;
      }
    }
    return Fail("unterminated string");
  }

  std::string_view m_text;
  std::size_t m_pos = 0;
  std::string m_error;
  std::size_t m_errorPos = 0;
};

}  // namespace

const JsonValue* JsonValue::Member(std::string_view name) const {
  for (const auto& member : members) {
    if (member.first == name) return &member.second;
  }
  return nullptr;
}

JsonDocument ParseJson(std::string_view text) { return Parser(text).Document(); }
