// The demo's flow as a list of steps, and the scripts each step must bring to the page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class StepKind {
  PlugIn,        // the reader is plugged in
  PresentCard,   // a card is held to the reader
  BrokenReport,  // the reader sends a card report whose check value is wrong
  PullOut,       // the reader is unplugged
};

struct Step {
  StepKind kind = StepKind::PlugIn;
  std::uint32_t card = 0;  // PresentCard, BrokenReport
  std::uint8_t shift = 0;  // the report's scramble shift
};

// The card that the broken report carries.
constexpr std::uint32_t kBrokenReportCard = 2587647617u;

Step PlugInStep();
Step CardStep(std::uint32_t card, std::uint8_t shift);
Step BrokenReportStep();
Step PullOutStep();

// The shift for the index-th card: the reader's shifts 0 to 8 in turn, starting at 3.
std::uint8_t ShiftForCard(std::size_t index);

// Plugging in, the cards, the broken report: everything before the reader is pulled out.
std::vector<Step> StepsWhileListening(const std::vector<std::uint32_t>& cards);

// What the page must receive for a step, in order: a card its number, a device change
// its direction, a broken report nothing.
std::vector<std::string> ExpectedScripts(const Step& step);

// What the demo says it does, for the console.
std::string Describe(const Step& step);

// The reader's card report for `card`, scrambled with `shift`, whose check value is off:
// it descrambles, but the plug-in must drop it.
std::vector<std::uint8_t> BrokenCardReport(std::uint32_t card, std::uint8_t shift);
