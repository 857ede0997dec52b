// npTARVX_demo.exe as a newcomer runs it: its own process with the shipped plug-in and
// the simulated reader; the console, the exit code and the screenshots.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/demo/PngFile.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ProgramDirectory.h"
#include "tools/demo/StatusPicture.h"
#include "win32/UniqueResource.h"

namespace {

using Lines = std::vector<std::string>;

constexpr int kListeningBitmap = 141;
constexpr int kIdleBitmap = 102;

// A folder of its own for each run's screenshots, emptied first.
std::string FreshOutputDirectory(const std::string& name) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string root = std::string(temp) + "npTARVX_demo_tests";
  const std::string directory = root + "\\" + name;
  CreateDirectoryA(root.c_str(), nullptr);
  CreateDirectoryA(directory.c_str(), nullptr);
  for (const char* file : {"listening.png", "unplugged.png"}) DeleteFileA((directory + "\\" + file).c_str());
  return directory;
}

ChildResult RunDemo(const std::string& arguments, const std::optional<std::string>& input = std::nullopt) {
  return RunChild("\"" + TestSupport::PathNextToProgram("npTARVX_demo.exe") + "\" " + arguments, input, 60000);
}

// "[   412 ms] page     CardReaded(42);" gives "CardReaded(42);".
Lines PageScripts(const std::string& out) {
  Lines scripts;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t source = line.find(" ms] page ");
    if (line.rfind("[", 0) != 0 || source == std::string::npos) continue;
    scripts.push_back(line.substr(line.find_first_not_of(' ', source + 9)));
  }
  return scripts;
}

// The times of the stamped lines, in the order printed.
std::vector<long> Times(const std::string& out) {
  std::vector<long> times;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("[", 0) == 0 && line.find(" ms] ") != std::string::npos) times.push_back(std::stol(line.substr(1)));
  }
  return times;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The window's pixels from an enlarged screenshot; every enlarged pixel must be a square
// of one colour.
nphost::Pixels Reduced(const PngImage& image, int enlargement) {
  nphost::Pixels window;
  window.width = static_cast<int>(image.width) / enlargement;
  window.height = static_cast<int>(image.height) / enlargement;
  for (std::uint32_t y = 0; y < image.height; ++y) {
    for (std::uint32_t x = 0; x < image.width; ++x) {
      const std::uint32_t pixel = image.pixels[y * image.width + x];
      const std::uint32_t square = image.pixels[(y - y % enlargement) * image.width + (x - x % enlargement)];
      EXPECT_EQ(pixel, square) << "(" << x << ", " << y << ")";
      if (pixel != square) return window;
    }
  }
  for (int y = 0; y < window.height; ++y) {
    for (int x = 0; x < window.width; ++x) {
      window.rows.push_back(image.pixels[static_cast<std::size_t>(y * enlargement) * image.width +
                                         static_cast<std::size_t>(x * enlargement)]);
    }
  }
  return window;
}

// Whether the screenshot shows the plug-in's bitmap `id` as the plug-in draws it.
void ExpectScreenshotShows(const std::string& path, int width, int height, int enlargement, int id) {
  const PngImage image = ReadStoredPng(path);
  ASSERT_EQ(image.width, static_cast<std::uint32_t>(width * enlargement)) << path;
  ASSERT_EQ(image.height, static_cast<std::uint32_t>(height * enlargement)) << path;
  const kelmar::Win32::UniqueModule plugin(
      LoadLibraryExA(TestSupport::PathNextToProgram("npTARVX.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ASSERT_TRUE(plugin);
  const nphost::Pixels picture = nphost::BitmapResourcePixels(plugin.Get(), id);
  ASSERT_EQ(picture.width, 27);
  EXPECT_TRUE(ShowsAtCentre(Reduced(image, enlargement), picture)) << path << " does not show bitmap " << id;
}

// One default run, shared by the tests that look at it.
class DefaultRun : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_directory = new std::string(FreshOutputDirectory("default"));
    s_result = new ChildResult(RunDemo("--out \"" + *s_directory + "\""));
  }
  static void TearDownTestSuite() {
    delete s_result;
    delete s_directory;
  }
  static const ChildResult& Result() { return *s_result; }
  static const std::string& Directory() { return *s_directory; }

 private:
  static ChildResult* s_result;
  static std::string* s_directory;
};
ChildResult* DefaultRun::s_result = nullptr;
std::string* DefaultRun::s_directory = nullptr;

TEST_F(DefaultRun, PassesWhenThePageReceivesTheFlowInOrder) {
  EXPECT_EQ(Result().exitCode, 0u) << Result().out << Result().err;
  EXPECT_EQ(Result().err, "");
  EXPECT_EQ(PageScripts(Result().out), (Lines{"DeviceChanged(1);", "CardReaded(2587647617);", "CardReaded(42);",
                                              "CardReaded(4294967295);", "DeviceChanged(0);"}));
  EXPECT_TRUE(Contains(Result().out, "Demo passed.\n")) << Result().out;
}

TEST_F(DefaultRun, StampsEveryEventInTheOrderItHappened) {
  const std::vector<long> times = Times(Result().out);
  // Load, embed, the idle window, plug, open, three cards, the broken report, two
  // screenshots, unplug, close, shut down, and the five scripts.
  ASSERT_GE(times.size(), 19u) << Result().out;
  for (std::size_t i = 1; i < times.size(); ++i) EXPECT_LE(times[i - 1], times[i]) << "line " << i;
  // The broken report: no script between it and the next event of the demo.
  const std::string out = Result().out;
  const std::size_t broken = out.find("broken check value");
  ASSERT_NE(broken, std::string::npos);
  const std::size_t nextLine = out.find('\n', broken) + 1;
  EXPECT_TRUE(Contains(out.substr(nextLine, out.find('\n', nextLine) - nextLine), "nothing reached the page")) << out;
}

TEST_F(DefaultRun, ScreenshotsShowTheWindowListeningAndUnpluggedEnlargedFourTimes) {
  ExpectScreenshotShows(Directory() + "\\listening.png", 100, 40, 4, kListeningBitmap);
  ExpectScreenshotShows(Directory() + "\\unplugged.png", 100, 40, 4, kIdleBitmap);
  EXPECT_TRUE(Contains(Result().out, "listening.png")) << Result().out;
  EXPECT_TRUE(Contains(Result().out, "unplugged.png")) << Result().out;
}

TEST(DemoProgram, GivenCardsSizeAndBrowser) {
  const std::string directory = FreshOutputDirectory("options");
  const ChildResult result = RunDemo("--browser chromium --size 60x30 --card 7 --card 0 --out \"" + directory + "\"");
  EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
  EXPECT_EQ(PageScripts(result.out),
            (Lines{"DeviceChanged(1);", "CardReaded(7);", "CardReaded(0);", "DeviceChanged(0);"}));
  EXPECT_TRUE(Contains(result.out, "as Chromium would")) << result.out;
  ExpectScreenshotShows(directory + "\\listening.png", 60, 30, 4, kListeningBitmap);
  ExpectScreenshotShows(directory + "\\unplugged.png", 60, 30, 4, kIdleBitmap);
}

// The scripts the page must receive can be given; when the page gets others the demo
// fails and says where the difference is.
TEST(DemoProgram, FailsAndSaysWhatThePageLackedWhenItGetsOtherScripts) {
  const std::string directory = FreshOutputDirectory("expect");
  const ChildResult result =
      RunDemo("--card 5 --expect DeviceChanged(1); --expect CardReaded(6); --expect DeviceChanged(0); --out \"" +
              directory + "\"");
  EXPECT_EQ(result.exitCode, 1u) << result.out << result.err;
  EXPECT_EQ(result.err,
            "npTARVX_demo: script 2: the page should have received CardReaded(6); but received CardReaded(5);\n");
  EXPECT_TRUE(Contains(result.out, "Demo FAILED.\n")) << result.out;

  const ChildResult shorter = RunDemo("--card 5 --expect DeviceChanged(1); --out \"" + directory + "\"");
  EXPECT_EQ(shorter.exitCode, 1u) << shorter.out << shorter.err;
  EXPECT_EQ(shorter.err, "npTARVX_demo: the page received CardReaded(5); after everything it should have (script 2)\n");
}

TEST(DemoProgram, InteractiveRunsTypedCommandsUntilTheEndOfInput) {
  const std::string directory = FreshOutputDirectory("interactive");
  const ChildResult result = RunDemo("--interactive --card 1 --out \"" + directory + "\"",
                                     std::string("42\nbad\nunplug\n7\nwhat\nplug\n4294967295\n"));
  EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
  // The reader is pulled out at the end, as it is without --interactive.
  EXPECT_EQ(PageScripts(result.out),
            (Lines{"DeviceChanged(1);", "CardReaded(1);", "CardReaded(42);", "DeviceChanged(0);", "DeviceChanged(1);",
                   "CardReaded(4294967295);", "DeviceChanged(0);"}));
  EXPECT_TRUE(Contains(result.out, "no reader is plugged in; type 'plug' first")) << result.out;
  EXPECT_TRUE(Contains(result.out, "not understood: 'what'")) << result.out;
  ExpectScreenshotShows(directory + "\\unplugged.png", 100, 40, 4, kIdleBitmap);
}

TEST(DemoProgram, InteractiveQuitEndsWithoutReadingFurther) {
  const std::string directory = FreshOutputDirectory("quit");
  const ChildResult result =
      RunDemo("--interactive --card 1 --out \"" + directory + "\"", std::string("unplug\r\nquit\r\nplug\r\n9\r\n"));
  EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
  EXPECT_EQ(PageScripts(result.out), (Lines{"DeviceChanged(1);", "CardReaded(1);", "DeviceChanged(0);"}));
}

TEST(DemoProgram, CommandLinesItCannotRun) {
  struct Case {
    std::string arguments;
    unsigned long exitCode;
    std::string outStart;
    std::string errStart;
  };
  const Case cases[] = {
      {"--help", 0, "Usage: npTARVX_demo [options]\n", ""},
      {"--size 100", 2, "",
       "npTARVX_demo: --size needs WxH, from 1x1 to 600x440, not '100'\nTry npTARVX_demo --help.\n"},
      {"--frobnicate", 2, "", "npTARVX_demo: unknown argument: --frobnicate\n"},
      {"--plugin no-such-plugin.dll", 2, "", "npTARVX_demo: no plug-in at "},
      // A DLL that is not an NPAPI plug-in: no MIME type in its version resource.
      {"--plugin \"" + TestSupport::PathNextToProgram("simreader.dll") + "\" --out \"" +
           FreshOutputDirectory("not-a-plugin") + "\"",
       2, "npTARVX demo:", "npTARVX_demo: "},
  };
  for (const Case& c : cases) {
    const ChildResult result = RunDemo(c.arguments);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.arguments << "\n" << result.out << result.err;
    EXPECT_EQ(result.out.substr(0, c.outStart.size()), c.outStart) << c.arguments;
    EXPECT_EQ(result.out.empty(), c.outStart.empty()) << c.arguments << "\n" << result.out;
    EXPECT_EQ(result.err.substr(0, c.errStart.size()), c.errStart) << c.arguments;
    EXPECT_EQ(result.err.empty(), c.errStart.empty()) << c.arguments << "\n" << result.err;
  }
}

}  // namespace
