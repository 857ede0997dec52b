// tarvx-diag --listen, against the simulated reader: what the reader sends, as the
// library's listen thread receives it.
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

#include "tests/diag/ConcurrentText.h"
#include "tools/diag/Diagnostics.h"
#include "tools/simreader/SimReader.h"
#include "win32/Event.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kReaderVendor = 0x4154;
constexpr std::uint16_t kReaderProduct = 0x5652;

const Bytes kWorkedExample = {0x00, 0x01, 0x5A, 0x5C, 0x00, 0x0D, 0xFF, 0x0B, 0x12,
                              0xF4, 0x80, 0x55, 0x3C, 0xA4, 0x01, 0xAA, 0x03};

// The tool running on a thread of its own, as it would in a console.
class ListeningRun {
 public:
  explicit ListeningRun(std::vector<std::string> arguments) : m_interrupt(false) {
    m_exitCode = std::async(std::launch::async, [this, arguments] {
      return RunDiagnostics(arguments, m_interrupt.GetHandle(), m_out.Stream(), m_err.Stream());
    });
  }
  ~ListeningRun() {
    if (m_exitCode.valid()) {
      Interrupt();
      m_exitCode.wait();
    }
  }

  // Once the tool has found the reader and its listen thread holds the only handle on it,
  // every report sent reaches the thread.
  bool WaitUntilListening(const simreader::Device& reader) {
    return m_out.WaitFor("Listening to the card reader at " + reader.Path() + "\n") && reader.WaitForOpenHandles(1);
  }
  void Interrupt() { SetEvent(m_interrupt.GetHandle()); }
  int ExitCode() { return m_exitCode.get(); }
  std::string Out() const { return m_out.Text(); }
  std::string Err() const { return m_err.Text(); }
  bool WaitForOutput(const std::string& needle) const { return m_out.WaitFor(needle); }

 private:
  kelmar::Win32::CManualResetEvent m_interrupt;
  ConcurrentText m_out;
  ConcurrentText m_err;
  std::future<int> m_exitCode;
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(Listening, PrintsEachReportWithItsVerdictAndStopsAfterTheCount) {
  const simreader::Device keyboard(0x046D, 0xC31C, 8);
  const simreader::Device reader(kReaderVendor, kReaderProduct, 17);
  ListeningRun run({"--listen", "--count", "3"});
  ASSERT_TRUE(run.WaitUntilListening(reader)) << run.Out();

  reader.SendReport(kWorkedExample);
  Bytes brokenCheck = kWorkedExample;
  brokenCheck[7] ^= 0x01;
  reader.SendReport(brokenCheck);
  reader.PresentCard(4294967295u, 0);

  EXPECT_EQ(run.ExitCode(), 0);
  const std::string out = run.Out();
  EXPECT_TRUE(Contains(out,
                       "] report 1: 17 bytes: 00 01 5A 5C 00 0D FF 0B 12 F4 80 55 3C A4 01 AA 03\n"
                       "  decodes:     yes, to a 7-byte card record\n"
                       "  check value: matches\n"
                       "  card number: 2587647617\n"))
      << out;
  EXPECT_TRUE(Contains(out, "] report 2: 17 bytes: 00 01 5A 5C 00 0D FF 0A")) << out;
  EXPECT_TRUE(Contains(out, "  card number: none (check value mismatch; the page is not called)\n")) << out;
  EXPECT_TRUE(Contains(out, "] report 3: 17 bytes: ")) << out;
  EXPECT_TRUE(Contains(out, "  card number: 4294967295\n")) << out;
  EXPECT_TRUE(Contains(out, "Stopped after 3 reports, as asked.\n")) << out;
  EXPECT_EQ(run.Err(), "");
  // The listen thread has let go of the reader.
  EXPECT_TRUE(reader.WaitForOpenHandles(0));
}

TEST(Listening, ReportsBeyondTheCountAreNotShown) {
  const simreader::Device reader(kReaderVendor, kReaderProduct, 17);
  ListeningRun run({"--listen", "--count", "1"});
  ASSERT_TRUE(run.WaitUntilListening(reader)) << run.Out();

  reader.PresentCard(1);
  reader.PresentCard(2);
  reader.PresentCard(3);

  EXPECT_EQ(run.ExitCode(), 0);
  const std::string out = run.Out();
  EXPECT_TRUE(Contains(out, "  card number: 1\n")) << out;
  EXPECT_FALSE(Contains(out, "report 2")) << out;
}

TEST(Listening, UnpluggingTheReaderEndsListeningAsAFailure) {
  simreader::Device reader(kReaderVendor, kReaderProduct, 17);
  ListeningRun run({"--listen"});
  ASSERT_TRUE(run.WaitUntilListening(reader)) << run.Out();
  reader.PresentCard(2587647617u);
  ASSERT_TRUE(run.WaitForOutput("card number: 2587647617")) << run.Out();

  reader.Unplug();

  EXPECT_EQ(run.ExitCode(), 1);
  const std::string out = run.Out();
  EXPECT_TRUE(
      Contains(out, "Listening ended: reading failed: the reader was unplugged or stopped answering (Windows error "))
      << out;
  EXPECT_FALSE(Contains(out, "still listed")) << out;
  // The read that the unplug ended (if one was pending) is not counted as a report.
  EXPECT_FALSE(Contains(out, "report 2")) << out;
}

TEST(Listening, AReaderThatCannotBeOpenedForReadingIsNamedAsStillPresent) {
  const simreader::Device reader(kReaderVendor, kReaderProduct, 17);
  reader.FailNextListeningOpen();
  ListeningRun run({"--listen", "--seconds", "20"});

  EXPECT_EQ(run.ExitCode(), 1);
  const std::string out = run.Out();
  EXPECT_TRUE(Contains(out, "Listening ended: the reader could not be opened")) << out;
  EXPECT_TRUE(Contains(out, "The reader is still listed: another program may hold it open")) << out;
}

TEST(Listening, AReaderThatIsRefusedIsToldWhy) {
  struct Case {
    std::uint16_t inputReportLength;
    unsigned faults;
    const char* said;
  };
  const Case cases[] = {
      {2000, 0, "Listening ended: the reader announces 2000-byte reports; at most 1028 are read.\n"},
      {0, 0, "Listening ended: the reader announces reports of 0 bytes; it cannot be read.\n"},
      {17, SIMREADER_FAULT_CAPS,
       "Listening ended: the reader's report length could not be read from it (Windows error 13).\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.said);
    simreader::Device reader(kReaderVendor, kReaderProduct, c.inputReportLength);
    reader.SetFaults(c.faults);
    ListeningRun run({"--listen", "--seconds", "20"});
    EXPECT_EQ(run.ExitCode(), 1);
    const std::string out = run.Out();
    EXPECT_TRUE(Contains(out, c.said)) << out;
    EXPECT_FALSE(Contains(out, "still listed")) << out;
  }
}

TEST(Listening, WithoutAReaderThereIsNothingToListenTo) {
  const simreader::Device keyboard(0x046D, 0xC31C, 8);
  ListeningRun run({"--listen"});

  EXPECT_EQ(run.ExitCode(), 1);
  EXPECT_TRUE(Contains(run.Out(), "No card reader found: nothing to listen to.")) << run.Out();
  EXPECT_EQ(keyboard.OpenHandleCount(), 0);
}

TEST(Listening, TheTimeLimitFailsOnlyWhenFewerReportsCameThanAskedFor) {
  struct Case {
    std::vector<std::string> arguments;
    int exitCode;
    std::string summary;
  };
  const Case cases[] = {
      {{"--listen", "--count", "2", "--seconds", "1"}, 1, "Time limit reached after 1 report of 2.\n"},
      {{"--listen", "--seconds", "1"}, 0, "Time limit reached after 1 report.\n"},
  };
  for (const Case& c : cases) {
    const simreader::Device reader(kReaderVendor, kReaderProduct, 17);
    ListeningRun run(c.arguments);
    ASSERT_TRUE(run.WaitUntilListening(reader)) << run.Out();
    reader.PresentCard(77);

    EXPECT_EQ(run.ExitCode(), c.exitCode) << run.Out();
    EXPECT_TRUE(Contains(run.Out(), "  card number: 77\n")) << run.Out();
    EXPECT_TRUE(Contains(run.Out(), c.summary)) << run.Out();
  }
}

// Ctrl+C reaches the tool as its interrupt event.
TEST(Listening, AnInterruptStopsListeningCleanly) {
  const simreader::Device reader(kReaderVendor, kReaderProduct, 17);
  ListeningRun run({"--listen"});
  ASSERT_TRUE(run.WaitUntilListening(reader)) << run.Out();
  reader.PresentCard(5);
  ASSERT_TRUE(run.WaitForOutput("card number: 5\n")) << run.Out();

  run.Interrupt();

  EXPECT_EQ(run.ExitCode(), 0);
  EXPECT_TRUE(Contains(run.Out(), "Stopped after 1 report.\n")) << run.Out();
  EXPECT_TRUE(reader.WaitForOpenHandles(0));
}

}  // namespace
