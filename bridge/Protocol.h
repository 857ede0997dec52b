// The message protocol between the host and the browser extension (docs/BRIDGE.md): its
// constants in one place.
#pragma once

#include <cstddef>
#include <cstdint>

namespace BridgeProtocol {

// The protocol's number is written once, as PROTOCOL in extension/src/names.js; the build
// passes it to the hello (Messages.cpp) as TARVX_BRIDGE_PROTOCOL.

// The largest frame body the host accepts from the browser, in bytes. Checked before any
// memory is set aside for a frame.
constexpr std::uint32_t kMaxInputFrame = 65536;

// Bytes of the little-endian length in front of every frame body.
constexpr std::size_t kLengthBytes = 4;

// Nesting of arrays and objects a message may have; deeper input is refused, so that a
// frame full of brackets cannot exhaust the reading thread's stack.
constexpr int kMaxJsonDepth = 64;

}  // namespace BridgeProtocol
