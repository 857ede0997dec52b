// The JSON text of each message the host sends (docs/BRIDGE.md gives them exactly).
#pragma once

#include <cstdint>
#include <string>

// {"type":"hello","protocol":1,"version":"<product version>"}
std::string HelloMessage();
// {"type":"status","listening":true|false}
std::string StatusMessage(bool listening);
// Where the reader stands, as the browser is told it before each status.
enum class ReaderState {
  Listening,   // the reader is listened to
  NoReader,    // no reader is plugged in
  CannotOpen,  // a reader is plugged in but refused to be listened to
  Ended,       // a reader is plugged in and listening to it ended (a read failed, or it was stopped)
};
// {"type":"reader","state":"listening"|"no-reader"|"cannot-open"|"ended"}
std::string ReaderMessage(ReaderState state);
// {"type":"device","change":1|0}
std::string DeviceMessage(int change);
// {"type":"card","number":<unsigned decimal>}
std::string CardMessage(std::uint32_t cardNumber);
