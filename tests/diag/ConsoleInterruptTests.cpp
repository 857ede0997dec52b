// Ctrl+C while listening. Wine gives a program without a console no control events
// (GenerateConsoleCtrlEvent fails), so the console's calls are replayed here.
#include <gtest/gtest.h>

#include "tools/diag/ConsoleInterrupt.h"

namespace {

bool IsSignalled(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

TEST(ConsoleInterrupt, TheFirstCtrlCSignalsTheEventAndTheSecondEndsTheProgram) {
  const ConsoleInterrupt interrupt;
  EXPECT_FALSE(IsSignalled(interrupt.Event()));

  EXPECT_TRUE(ConsoleInterrupt::Handler(CTRL_C_EVENT));
  EXPECT_TRUE(IsSignalled(interrupt.Event()));
  // Not handled: the system's default ends the program.
  EXPECT_FALSE(ConsoleInterrupt::Handler(CTRL_C_EVENT));
}

TEST(ConsoleInterrupt, CtrlBreakCountsAsCtrlCButClosingTheConsoleIsLeftToTheSystem) {
  const ConsoleInterrupt interrupt;
  EXPECT_FALSE(ConsoleInterrupt::Handler(CTRL_CLOSE_EVENT));
  EXPECT_FALSE(IsSignalled(interrupt.Event()));
  EXPECT_TRUE(ConsoleInterrupt::Handler(CTRL_BREAK_EVENT));
  EXPECT_TRUE(IsSignalled(interrupt.Event()));
}

TEST(ConsoleInterrupt, OnlyWhileItLives) {
  { const ConsoleInterrupt interrupt; }
  EXPECT_FALSE(ConsoleInterrupt::Handler(CTRL_C_EVENT));
  // A new one may take the place of the old.
  const ConsoleInterrupt again;
  EXPECT_TRUE(ConsoleInterrupt::Handler(CTRL_C_EVENT));
}

}  // namespace
