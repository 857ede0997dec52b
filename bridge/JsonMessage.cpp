#include "bridge/JsonMessage.h"

#include <cstdint>

#include "bridge/Protocol.h"

namespace {

class Checker {
 public:
  explicit Checker(std::string_view text) : m_text(text) {}

  JsonMessage Run() {
    JsonMessage result;
    result.valid = CheckWhole();
    if (result.valid) {
      result.type = std::move(m_type);
    } else {
      result.error = m_error;
    }
    return result;
  }

 private:
  bool CheckWhole() {
    SkipSpace();
    if (AtEnd()) return Fail("no JSON value");
    if (Peek() != '{') return Fail("not a JSON object");
    if (!Object(1, true)) return false;
    SkipSpace();
    return AtEnd() || Fail("more text after the object");
  }

  // Keeps the first failure only: it is where the text went wrong.
  bool Fail(const char* what) {
    if (m_error.empty()) m_error = std::string(what) + " at byte " + std::to_string(m_pos);
    return false;
  }

  bool AtEnd() const { return m_pos >= m_text.size(); }
  unsigned char Peek() const { return static_cast<unsigned char>(m_text[m_pos]); }
  bool Consume(char c) {
    if (AtEnd() || m_text[m_pos] != c) return false;
    ++m_pos;
    return true;
  }
  void SkipSpace() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) ++m_pos;
  }

  bool Value(int depth) {
    SkipSpace();
    if (AtEnd()) return Fail("input ends where a value should be");
    switch (Peek()) {
      case '{':
        return Object(depth + 1, false);
      case '[':
        return Array(depth + 1);
      case '"':
        return String(nullptr);
      case 't':
        return Literal("true");
      case 'f':
        return Literal("false");
      case 'n':
        return Literal("null");
      default:
        if (Peek() == '-' || IsDigit(Peek())) return Number();
        return Fail("unexpected character");
    }
  }

  bool Object(int depth, bool topLevel) {
    if (depth > BridgeProtocol::kMaxJsonDepth) return Fail("nested too deeply");
    ++m_pos;  // the '{'
    SkipSpace();
    if (Consume('}')) return true;
    for (;;) {
      SkipSpace();
      if (AtEnd() || Peek() != '"') return Fail("expected a member name");
      std::string name;
      if (!String(topLevel ? &name : nullptr)) return false;
      SkipSpace();
      if (!Consume(':')) return Fail("expected ':'");
      if (!(topLevel && name == "type" ? TypeMember(depth) : Value(depth))) return false;
      SkipSpace();
      if (Consume(',')) continue;
      if (Consume('}')) return true;
      return Fail("expected ',' or '}'");
    }
  }

  bool TypeMember(int depth) {
    if (m_typeSeen) return Fail("a second \"type\" member");
    m_typeSeen = true;
    SkipSpace();
    if (AtEnd() || Peek() != '"') return Value(depth);  // a type that is no string names no message
    std::string type;
    if (!String(&type)) return false;
    m_type = std::move(type);
    return true;
  }

  bool Array(int depth) {
    if (depth > BridgeProtocol::kMaxJsonDepth) return Fail("nested too deeply");
    ++m_pos;  // the '['
    SkipSpace();
    if (Consume(']')) return true;
    for (;;) {
      if (!Value(depth)) return false;
      SkipSpace();
      if (Consume(',')) continue;
      if (Consume(']')) return true;
      return Fail("expected ',' or ']'");
    }
  }

  // A string from its opening quote; its decoded text goes to `decoded` when given.
  bool String(std::string* decoded) {
    ++m_pos;  // the opening '"'
    for (;;) {
      if (AtEnd()) return Fail("unterminated string");
      const unsigned char c = Peek();
      if (c == '"') {
        ++m_pos;
        return true;
      }
      if (c == '\\') {
        if (!Escape(decoded)) return false;
      } else if (c < 0x20) {
        return Fail("control character in a string");
      } else if (c < 0x80) {
        if (decoded != nullptr) decoded->push_back(static_cast<char>(c));
        ++m_pos;
      } else if (!Utf8Sequence(decoded)) {
        return false;
      }
    }
  }

  bool Escape(std::string* decoded) {
    ++m_pos;  // the backslash
    if (AtEnd()) return Fail("unterminated string");
    const char c = m_text[m_pos];
    ++m_pos;
    char plain = 0;
    switch (c) {
      case '"':
        plain = '"';
        break;
      case '\\':
        plain = '\\';
        break;
      case '/':
        plain = '/';
        break;
      case 'b':
        plain = '\b';
        break;
      case 'f':
        plain = '\f';
        break;
      case 'n':
        plain = '\n';
        break;
      case 'r':
        plain = '\r';
        break;
      case 't':
        plain = '\t';
        break;
      case 'u':
        return UnicodeEscape(decoded);
      default:
        --m_pos;
        return Fail("unknown escape");
    }
    if (decoded != nullptr) decoded->push_back(plain);
    return true;
  }

  // After "\u": four hex digits, and for a high surrogate the "\u" of its low half.
  bool UnicodeEscape(std::string* decoded) {
    std::uint32_t code = 0;
    if (!Hex4(code)) return false;
    if (code >= 0xDC00 && code <= 0xDFFF) return Fail("unpaired surrogate");
    if (code >= 0xD800 && code <= 0xDBFF) {
      std::uint32_t low = 0;
      if (!Consume('\\') || !Consume('u')) return Fail("unpaired surrogate");
      if (!Hex4(low)) return false;
      if (low < 0xDC00 || low > 0xDFFF) return Fail("unpaired surrogate");
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    if (decoded != nullptr) AppendUtf8(code, *decoded);
    return true;
  }

  bool Hex4(std::uint32_t& code) {
    for (int i = 0; i < 4; ++i) {
      if (AtEnd()) return Fail("unterminated string");
      const unsigned char c = Peek();
      std::uint32_t digit = 0;
      if (IsDigit(c)) {
        digit = c - '0';
      } else if (c >= 'a' && c <= 'f') {
        digit = c - 'a' + 10u;
      } else if (c >= 'A' && c <= 'F') {
        digit = c - 'A' + 10u;
      } else {
        return Fail("bad hex digit in \\u escape");
      }
      code = code * 16 + digit;
      ++m_pos;
    }
    return true;
  }

  static void AppendUtf8(std::uint32_t code, std::string& out) {
    if (code < 0x80) {
      out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (code >> 6)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (code >> 12)));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (code >> 18)));
      out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }

  // One multi-byte character, well formed as Unicode defines it: no overlong forms, no
  // surrogates, nothing above U+10FFFF.
  bool Utf8Sequence(std::string* decoded) {
    const unsigned char lead = Peek();
    int continuation = 0;
    unsigned char low = 0x80;  // the range of the byte after the lead
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      continuation = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      continuation = 2;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      continuation = 3;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return Fail("invalid UTF-8");
    }
    const std::size_t start = m_pos;
    ++m_pos;
    for (int i = 0; i < continuation; ++i) {
      if (AtEnd()) return Fail("invalid UTF-8");
      const unsigned char c = Peek();
      if (c < low || c > high) return Fail("invalid UTF-8");
      low = 0x80;
      high = 0xBF;
      ++m_pos;
    }
    if (decoded != nullptr) decoded->append(m_text.substr(start, m_pos - start));
    return true;
  }

  bool Number() {
    Consume('-');
    if (Consume('0')) {
      // no further digits may follow a leading zero
    } else if (!Digits()) {
      return Fail("bad number");
    }
    if (Consume('.') && !Digits()) return Fail("bad number");
    if (Consume('e') || Consume('E')) {
      if (!Consume('+')) Consume('-');
      if (!Digits()) return Fail("bad number");
    }
    return true;
  }

  // One or more digits.
  bool Digits() {
    const std::size_t start = m_pos;
    while (!AtEnd() && IsDigit(Peek())) ++m_pos;
    return m_pos > start;
  }

  bool Literal(std::string_view word) {
    if (m_text.substr(m_pos, word.size()) != word) return Fail("unexpected character");
    m_pos += word.size();
    return true;
  }

  static bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

  std::string_view m_text;
  std::size_t m_pos = 0;
  std::string m_error;
  std::optional<std::string> m_type;
  bool m_typeSeen = false;
};

}  // namespace

JsonMessage CheckJsonMessage(std::string_view text) { return Checker(text).Run(); }
