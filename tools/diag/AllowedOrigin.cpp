#include "tools/diag/AllowedOrigin.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

OriginVerdict Ignored(std::string why) { return {std::nullopt, std::move(why)}; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

// A browser reads a host whose last label is a number (decimal, or hex with 0x) as an IPv4
// address, in any of the old short and octal forms; only the dotted decimal it writes back
// is an origin.
bool EndsInNumber(std::string_view host) {
  std::vector<std::string_view> labels = Split(host, '.');
  if (labels.back().empty() && labels.size() > 1) labels.pop_back();
  const std::string_view last = labels.back();
  if (last.empty()) return false;
  bool digits = true;
  for (char c : last) digits = digits && IsDigit(c);
  if (digits) return true;
  if (last.size() < 2 || last[0] != '0' || (last[1] != 'x' && last[1] != 'X')) return false;
  for (char c : last.substr(2)) {
    if (!IsHexDigit(c)) return false;
  }
  return true;
}

bool IsCanonicalIpv4(std::string_view host) {
  const std::vector<std::string_view> parts = Split(host, '.');
  if (parts.size() != 4) return false;
  for (std::string_view part : parts) {
    if (part.empty() || part.size() > 3 || (part.size() > 1 && part[0] == '0')) return false;
    int value = 0;
    for (char c : part) {
      if (!IsDigit(c)) return false;
      value = value * 10 + (c - '0');
    }
    if (value > 255) return false;
  }
  return true;
}

// The IPv6 address as a browser writes it: lower-case hex without leading zeros, the first
// longest run of two or more zero pieces as "::". Only hex pieces; the dotted IPv4 tail is
// always written back as hex, so it is never an origin as written.
std::optional<std::string> CanonicalIpv6(std::string_view text) {
  std::array<std::uint32_t, 8> pieces{};
  std::size_t compressAt = 8;
  std::size_t count = 0;
  std::size_t i = 0;
  if (text.substr(0, 2) == "::") {
    compressAt = 0;
    i = 2;
  } else if (!text.empty() && text[0] == ':') {
    return std::nullopt;
  }
  while (i < text.size()) {
    if (count == 8) return std::nullopt;
    if (text[i] == ':') {
      if (compressAt != 8) return std::nullopt;
      compressAt = count;
      ++i;
      continue;
    }
    std::uint32_t value = 0;
    std::size_t digits = 0;
    while (i < text.size() && digits < 4 && IsHexDigit(text[i])) {
      const char c = text[i];
      value = value * 16 + static_cast<std::uint32_t>(IsDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10);
      ++digits;
      ++i;
    }
    if (digits == 0) return std::nullopt;
    pieces[count++] = value;
    if (i == text.size()) break;
    if (text[i] != ':') return std::nullopt;
    ++i;
    if (i == text.size()) return std::nullopt;
  }
  if (compressAt != 8) {
    const std::size_t moved = count - compressAt;
    for (std::size_t k = 0; k < moved; ++k) pieces[7 - k] = pieces[count - 1 - k];
    for (std::size_t k = compressAt; k < 8 - moved; ++k) pieces[k] = 0;
  } else if (count != 8) {
    return std::nullopt;
  }
  // The first longest run of zeros, two pieces or more.
  std::size_t runStart = 8;
  std::size_t runLength = 1;
  for (std::size_t start = 0; start < 8;) {
    std::size_t end = start;
    while (end < 8 && pieces[end] == 0) ++end;
    if (end - start > runLength) {
      runStart = start;
      runLength = end - start;
    }
    start = end == start ? start + 1 : end;
  }
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (std::size_t k = 0; k < 8; ++k) {
    if (k == runStart) {
      out += k == 0 ? "::" : ":";
      k += runLength - 1;
      continue;
    }
    std::string piece;
    std::uint32_t value = pieces[k];
    do {
      piece.insert(piece.begin(), kHex[value % 16]);
      value /= 16;
    } while (value != 0);
    out += piece;
    if (k != 7) out += ":";
  }
  return out;
}

// Host characters a browser keeps as they are: lower-case letters, digits, '-', '_' and
// the dots between labels. Upper case, '%', non-ASCII letters and the rest are rewritten
// (or refused), so an entry holding them is not an origin as written.
bool IsPlainHostChar(char c) { return (c >= 'a' && c <= 'z') || IsDigit(c) || c == '-' || c == '_' || c == '.'; }

}  // namespace

OriginVerdict ParseAllowedOrigin(std::string_view written) {
  if (written.find('*') != std::string_view::npos) return Ignored("a wildcard: one exact origin per entry");
  // Upper case in the scheme and host is forgiven: the browser writes them in lower case.
  std::string lowered(written);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  const std::string_view entry = lowered;
  std::string_view scheme;
  std::uint32_t defaultPort = 0;
  if (entry.substr(0, 7) == "http://") {
    scheme = "http";
    defaultPort = 80;
  } else if (entry.substr(0, 8) == "https://") {
    scheme = "https";
    defaultPort = 443;
  } else {
    return Ignored("not http:// or https:// at the start");
  }
  std::string_view rest = entry.substr(scheme.size() + 3);
  if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
  if (rest.find_first_of("/?#@\\") != std::string_view::npos) {
    return Ignored("more than an origin: a path, query, fragment or user name");
  }

  std::string_view host = rest;
  std::string_view port;
  std::string hostAsWritten;
  if (!rest.empty() && rest[0] == '[') {
    const std::size_t close = rest.find(']');
    if (close == std::string_view::npos) return Ignored("an IPv6 address without its closing ']'");
    host = rest.substr(1, close - 1);
    const std::string_view after = rest.substr(close + 1);
    if (!after.empty() && after[0] != ':') return Ignored("text after the IPv6 address");
    if (!after.empty()) port = after.substr(1);
    const std::optional<std::string> canonical = CanonicalIpv6(host);
    if (!canonical) return Ignored("not an IPv6 address");
    if (*canonical != host) return Ignored("the IPv6 address not as a browser writes it (" + *canonical + ")");
    hostAsWritten = "[" + *canonical + "]";
    if (!after.empty() && port.empty()) return Ignored("a ':' without a port");
  } else {
    const std::size_t colon = rest.find(':');
    if (colon != std::string_view::npos) {
      host = rest.substr(0, colon);
      port = rest.substr(colon + 1);
      if (port.empty()) return Ignored("a ':' without a port");
    }
    if (host.empty()) return Ignored("no host");
    for (char c : host) {
      if (!IsPlainHostChar(c)) return Ignored("a character the browser rewrites in the host");
    }
    if (EndsInNumber(host) && !IsCanonicalIpv4(host)) {
      return Ignored("an address not written as four decimal numbers");
    }
    hostAsWritten = std::string(host);
  }

  std::string origin = std::string(scheme) + "://" + hostAsWritten;
  if (!port.empty()) {
    if (port.size() > 5 || (port.size() > 1 && port[0] == '0')) return Ignored("a port not as a browser writes it");
    std::uint32_t value = 0;
    for (char c : port) {
      if (!IsDigit(c)) return Ignored("a port that is not a number");
      value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (value > 65535) return Ignored("a port above 65535");
    // The scheme's own port written out is forgiven too: the origin leaves it out.
    if (value != defaultPort) origin += ":" + std::string(port);
  }
  return {origin, ""};
}
