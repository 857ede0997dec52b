// Frames from the browser: a 4-byte little-endian length, then that many bytes. The
// length is checked against the limit before any memory is set aside for the body.
#pragma once

#include <windows.h>

#include <string>

#include "bridge/HostError.h"

enum class FrameStatus {
  Frame,       // `body` holds one frame's bytes
  EndOfInput,  // the input ended between frames
  Failed,      // `error` says why
};

struct FrameRead {
  FrameStatus status;
  std::string body;
  HostError error;
};

// Reads one frame from `input`, blocking until it is whole or the input ends. The end of
// input is a broken pipe (the browser closed its end) or a read of 0 bytes (end of a file).
FrameRead ReadFrame(HANDLE input);
