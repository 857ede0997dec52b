// The extension's rule for an entry of an allowed-origins policy, so that the policy check
// can say which entries the extension ignores: exactly an origin as a browser writes it
// (scheme, host, a port only when it is not the scheme's own), optionally with one trailing
// slash; upper case letters and the scheme's own port written out are forgiven. Anything
// else is ignored by the extension; the shared table tests/data/origin-cases.json holds
// both to the same answers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct OriginVerdict {
  std::optional<std::string> origin;  // the origin the entry is taken as; empty: ignored
  std::string why;                    // why it is ignored
};

OriginVerdict ParseAllowedOrigin(std::string_view entry);
