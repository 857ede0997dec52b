// The console's end-of-program events. Wine gives a program without a console no control
// events, so the console's calls are made here, on a thread as the console makes them.
#include <gtest/gtest.h>

#include <future>

#include "bridge/ConsoleStop.h"

namespace {

bool IsSignalled(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

TEST(ConsoleStop, EachEndingEventRequestsTheStopAndIsHeldUntilTheReaderIsClosed) {
  const DWORD events[] = {CTRL_C_EVENT, CTRL_BREAK_EVENT, CTRL_CLOSE_EVENT, CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT};
  for (const DWORD event : events) {
    SCOPED_TRACE(event);
    ConsoleStop console;
    std::future<BOOL> handled = std::async(std::launch::async, [event] { return ConsoleStop::Handler(event); });
    while (!IsSignalled(console.StopRequested())) Sleep(1);
    // The system would end the process the moment the handler returns.
    EXPECT_EQ(handled.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    console.ReaderClosed();
    EXPECT_TRUE(handled.get());
  }
}

TEST(ConsoleStop, OtherEventsAndNoInstalledObjectAreLeftToTheSystem) {
  EXPECT_FALSE(ConsoleStop::Handler(CTRL_C_EVENT));
  const ConsoleStop console;
  EXPECT_FALSE(ConsoleStop::Handler(7));
  EXPECT_FALSE(IsSignalled(console.StopRequested()));
}

TEST(ConsoleStop, AnEventAfterTheReaderIsClosedReturnsAtOnce) {
  ConsoleStop console;
  console.ReaderClosed();
  EXPECT_TRUE(ConsoleStop::Handler(CTRL_CLOSE_EVENT));
  EXPECT_TRUE(IsSignalled(console.StopRequested()));
}

}  // namespace
