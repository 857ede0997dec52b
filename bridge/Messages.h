// The JSON text of each message the host sends (docs/BRIDGE.md gives them exactly).
#pragma once

#include <cstdint>
#include <string>

// {"type":"hello","protocol":1,"version":"<product version>"}
std::string HelloMessage();
// {"type":"status","listening":true|false}
std::string StatusMessage(bool listening);
// {"type":"device","change":1|0}
std::string DeviceMessage(int change);
// {"type":"card","number":<unsigned decimal>}
std::string CardMessage(std::uint32_t cardNumber);
