// The demo's command line and the lines typed in its interactive mode.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/demo/DemoOptions.h"
#include "tools/demo/InteractiveCommand.h"

namespace {

using Arguments = std::vector<std::string>;

TEST(DemoOptions, AcceptedCommandLines) {
  struct Case {
    Arguments arguments;
    std::vector<std::uint32_t> cards;
    int width, height;
    std::string browser;
    bool interactive;
  };
  const Case cases[] = {
      {{}, {}, 100, 40, "firefox", false},
      {{"--card", "42", "--card", "0", "--card", "4294967295"}, {42, 0, 4294967295u}, 100, 40, "firefox", false},
      {{"--card", "0004294967295"}, {4294967295u}, 100, 40, "firefox", false},
      {{"--size", "1x1"}, {}, 1, 1, "firefox", false},
      {{"--size", "600x440", "--browser", "chromium"}, {}, 600, 440, "chromium", false},
      {{"--interactive", "--size", "27x25"}, {}, 27, 25, "firefox", true},
  };
  for (const Case& c : cases) {
    const ParsedDemoOptions parsed = ParseDemoOptions(c.arguments);
    ASSERT_TRUE(parsed.options.has_value()) << ::testing::PrintToString(c.arguments) << ": " << parsed.error;
    EXPECT_EQ(parsed.options->cards, c.cards) << ::testing::PrintToString(c.arguments);
    EXPECT_EQ(parsed.options->width, c.width) << ::testing::PrintToString(c.arguments);
    EXPECT_EQ(parsed.options->height, c.height) << ::testing::PrintToString(c.arguments);
    EXPECT_EQ(parsed.options->browser, c.browser) << ::testing::PrintToString(c.arguments);
    EXPECT_EQ(parsed.options->interactive, c.interactive) << ::testing::PrintToString(c.arguments);
    EXPECT_FALSE(parsed.options->help);
  }
}

TEST(DemoOptions, ValuesArePassedThroughAsTyped) {
  const ParsedDemoOptions parsed = ParseDemoOptions({"--plugin", "..\\x.dll", "--out", "C:\\shots", "--expect",
                                                     "DeviceChanged(1);", "--expect", "CardReaded(7);", "--help"});
  ASSERT_TRUE(parsed.options.has_value()) << parsed.error;
  EXPECT_EQ(parsed.options->pluginPath, "..\\x.dll");
  EXPECT_EQ(parsed.options->outputDirectory, "C:\\shots");
  EXPECT_EQ(parsed.options->expectedScripts, (std::vector<std::string>{"DeviceChanged(1);", "CardReaded(7);"}));
  EXPECT_TRUE(parsed.options->help);
}

TEST(DemoOptions, RefusedCommandLinesSayWhy) {
  struct Case {
    Arguments arguments;
    std::string error;
  };
  const Case cases[] = {
      {{"--card", "4294967296"}, "--card needs a number from 0 to 4294967295, not '4294967296'"},
      {{"--card", "-1"}, "--card needs a number from 0 to 4294967295, not '-1'"},
      {{"--card", "0x10"}, "--card needs a number from 0 to 4294967295, not '0x10'"},
      {{"--card", "99999999999999999999999"},
       "--card needs a number from 0 to 4294967295, not '99999999999999999999999'"},
      {{"--card", ""}, "--card needs a number from 0 to 4294967295, not ''"},
      {{"--card"}, "--card needs a value"},
      {{"--size", "0x40"}, "--size needs WxH, from 1x1 to 600x440, not '0x40'"},
      {{"--size", "601x40"}, "--size needs WxH, from 1x1 to 600x440, not '601x40'"},
      {{"--size", "100x441"}, "--size needs WxH, from 1x1 to 600x440, not '100x441'"},
      {{"--size", "100X40"}, "--size needs WxH, from 1x1 to 600x440, not '100X40'"},
      {{"--size", "100x"}, "--size needs WxH, from 1x1 to 600x440, not '100x'"},
      {{"--size", "100x40x2"}, "--size needs WxH, from 1x1 to 600x440, not '100x40x2'"},
      {{"--browser", "opera"}, "--browser is firefox or chromium, not 'opera'"},
      {{"--expect"}, "--expect needs a value"},
      {{"42"}, "unknown argument: 42"},
      {{"--cards", "42"}, "unknown argument: --cards"},
  };
  for (const Case& c : cases) {
    const ParsedDemoOptions parsed = ParseDemoOptions(c.arguments);
    EXPECT_FALSE(parsed.options.has_value()) << ::testing::PrintToString(c.arguments);
    EXPECT_EQ(parsed.error, c.error) << ::testing::PrintToString(c.arguments);
  }
}

TEST(InteractiveCommand, TypedLines) {
  struct Case {
    std::string line;
    CommandKind kind;
    StepKind step;       // for RunStep
    std::uint32_t card;  // for a card
  };
  const Case cases[] = {
      {"42", CommandKind::RunStep, StepKind::PresentCard, 42},
      {"  4294967295 \r", CommandKind::RunStep, StepKind::PresentCard, 4294967295u},
      {"0", CommandKind::RunStep, StepKind::PresentCard, 0},
      {"plug", CommandKind::RunStep, StepKind::PlugIn, 0},
      {"UNPLUG\r", CommandKind::RunStep, StepKind::PullOut, 0},
      {"Bad", CommandKind::RunStep, StepKind::BrokenReport, kBrokenReportCard},
      {"quit", CommandKind::Quit, StepKind::PlugIn, 0},
      {"q", CommandKind::Quit, StepKind::PlugIn, 0},
      {"exit", CommandKind::Quit, StepKind::PlugIn, 0},
      {"?", CommandKind::Help, StepKind::PlugIn, 0},
      {"", CommandKind::Nothing, StepKind::PlugIn, 0},
      {" \t\r", CommandKind::Nothing, StepKind::PlugIn, 0},
      {"4294967296", CommandKind::Unknown, StepKind::PlugIn, 0},
      {"4 2", CommandKind::Unknown, StepKind::PlugIn, 0},
      {"card 42", CommandKind::Unknown, StepKind::PlugIn, 0},
  };
  for (const Case& c : cases) {
    const InteractiveCommand command = ParseInteractiveCommand(c.line, 0);
    EXPECT_EQ(command.kind, c.kind) << "'" << c.line << "'";
    if (c.kind != CommandKind::RunStep) continue;
    EXPECT_EQ(command.step.kind, c.step) << "'" << c.line << "'";
    EXPECT_EQ(command.step.card, c.card) << "'" << c.line << "'";
  }
}

// Cards typed one after another are scrambled with different shifts, as the reader does.
TEST(InteractiveCommand, TypedCardsTakeTurnsWithTheShift) {
  EXPECT_NE(ParseInteractiveCommand("7", 0).step.shift, ParseInteractiveCommand("7", 1).step.shift);
  for (std::size_t count = 0; count < 20; ++count) {
    EXPECT_LE(ParseInteractiveCommand("7", count).step.shift, 8) << count;
  }
}

}  // namespace
