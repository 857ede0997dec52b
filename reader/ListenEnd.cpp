#include "reader/ListenEnd.h"

#include "reader/HidListenThread.h"

namespace {

std::string WithCode(const std::string& text, DWORD code) {
  return text + " (Windows error " + std::to_string(code) + ")";
}

std::string RefusedLength(std::uint32_t length) {
  if (length == 0) return "the reader announces reports of 0 bytes; it cannot be read";
  return "the reader announces " + std::to_string(length) + "-byte reports; at most " +
         std::to_string(CHIDListenThread::kReceiveBufferSize) + " are read";
}

}  // namespace

bool IsRefusal(ListenEndReason reason) {
  return reason == ListenEndReason::OpenFailed || reason == ListenEndReason::CapabilitiesUnreadable ||
         reason == ListenEndReason::ReportLengthRefused;
}

std::string DescribeListenEnd(const ListenEnd& end) {
  switch (end.reason) {
    case ListenEndReason::NotStarted:
      return "listening was never started";
    case ListenEndReason::Running:
      return "still listening";
    case ListenEndReason::Stopped:
      return "stopped as asked";
    case ListenEndReason::OpenFailed:
      if (end.errorCode == ERROR_FILE_NOT_FOUND || end.errorCode == ERROR_PATH_NOT_FOUND) {
        return WithCode("the reader could not be opened: it is no longer there", end.errorCode);
      }
      if (end.errorCode == ERROR_ACCESS_DENIED || end.errorCode == ERROR_SHARING_VIOLATION) {
        return WithCode("the reader could not be opened: access was refused (another program may hold it)",
                        end.errorCode);
      }
      return WithCode("the reader could not be opened", end.errorCode);
    case ListenEndReason::CapabilitiesUnreadable:
      return WithCode("the reader's report length could not be read from it", end.errorCode);
    case ListenEndReason::ReportLengthRefused:
      return RefusedLength(end.reportLength);
    case ListenEndReason::ReadFailed:
      if (end.errorCode == ERROR_DEVICE_NOT_CONNECTED || end.errorCode == ERROR_PIPE_NOT_CONNECTED ||
          end.errorCode == ERROR_BAD_COMMAND || end.errorCode == ERROR_OPERATION_ABORTED) {
        return WithCode("reading failed: the reader was unplugged or stopped answering", end.errorCode);
      }
      return WithCode("reading from the reader failed", end.errorCode);
    case ListenEndReason::WaitFailed:
      return WithCode("waiting for the reader failed", end.errorCode);
    case ListenEndReason::OtherFailure:
      return WithCode("listening failed", end.errorCode);
  }
  return "unknown";
}
