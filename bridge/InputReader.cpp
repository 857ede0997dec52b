#include "bridge/InputReader.h"

#include <process.h>

#include <cerrno>

#include "bridge/FrameReader.h"
#include "bridge/JsonMessage.h"
#include "win32/Event.h"
#include "win32/Exceptions.h"
#include "win32/IntegerPointer.h"

struct InputReader::Shared {
  explicit Shared(HANDLE source) : input(source), ended(false) {}
  HANDLE input;
  kelmar::Win32::CManualResetEvent ended;
  std::optional<HostError> failure;  // written by the thread before it sets `ended`
};

namespace {

// Every frame is checked although the host acts on none today (the extension's
// {"type":"hello"} and unknown types are ignored): a malformed one still ends the session,
// as agreed with the extension.
std::optional<HostError> ReadUntilEnd(HANDLE input) {
  for (;;) {
    FrameRead frame = ReadFrame(input);
    if (frame.status == FrameStatus::EndOfInput) return std::nullopt;
    if (frame.status == FrameStatus::Failed) return std::move(frame.error);
    const JsonMessage message = CheckJsonMessage(frame.body);
    if (!message.valid) {
      return HostError{HostErrorCode::BadMessage, "a message is not one JSON object: " + message.error};
    }
  }
}

}  // namespace

InputReader::InputReader(HANDLE input) : m_shared(std::make_shared<Shared>(input)) {
  auto threadShare = std::make_unique<std::shared_ptr<Shared>>(m_shared);
  unsigned threadId = 0;
  const uintptr_t thread = _beginthreadex(nullptr, 0, &InputReader::ThreadEntry, threadShare.get(), 0, &threadId);
  if (thread == 0) {
    throw kelmar::Win32::CWin32Exception("InputReader::InputReader() - _beginthreadex", static_cast<DWORD>(errno));
  }
  static_cast<void>(threadShare.release());  // the thread owns it now
  m_thread.Reset(kelmar::Win32::PointerFromInteger<HANDLE>(thread));
}

InputReader::~InputReader() { CancelSynchronousIo(m_thread.Get()); }

HANDLE InputReader::Ended() const { return m_shared->ended.GetHandle(); }

std::optional<HostError> InputReader::Failure() const {
  if (WaitForSingleObject(Ended(), 0) != WAIT_OBJECT_0) return std::nullopt;
  return m_shared->failure;
}

unsigned __stdcall InputReader::ThreadEntry(void* argument) {
  const std::unique_ptr<std::shared_ptr<Shared>> share(static_cast<std::shared_ptr<Shared>*>(argument));
  Shared& shared = **share;
  try {
    shared.failure = ReadUntilEnd(shared.input);
  } catch (...) {
    // Only memory can run out here; an empty detail needs none.
    shared.failure = HostError{HostErrorCode::ReadFailed, {}};
    try {
      shared.failure->detail = "not enough memory to read a frame";
    } catch (...) {
    }
  }
  SetEvent(shared.ended.GetHandle());
  return 0;
}
