#include "tools/demo/DemoSteps.h"

#include "tools/card_encoder/CardReportEncoder.h"

Step PlugInStep() { return Step{StepKind::PlugIn, 0, 0}; }

Step CardStep(std::uint32_t card, std::uint8_t shift) { return Step{StepKind::PresentCard, card, shift}; }

Step BrokenReportStep() { return Step{StepKind::BrokenReport, kBrokenReportCard, 3}; }

Step PullOutStep() { return Step{StepKind::PullOut, 0, 0}; }

std::uint8_t ShiftForCard(std::size_t index) { return static_cast<std::uint8_t>((3 + index) % 9); }

std::vector<Step> StepsWhileListening(const std::vector<std::uint32_t>& cards) {
  std::vector<Step> steps{PlugInStep()};
  for (std::size_t i = 0; i < cards.size(); ++i) steps.push_back(CardStep(cards[i], ShiftForCard(i)));
  steps.push_back(BrokenReportStep());
  return steps;
}

std::vector<std::string> ExpectedScripts(const Step& step) {
  switch (step.kind) {
    case StepKind::PlugIn:
      return {"DeviceChanged(1);"};
    case StepKind::PresentCard:
      return {"CardReaded(" + std::to_string(step.card) + ");"};
    case StepKind::BrokenReport:
      return {};
    case StepKind::PullOut:
      return {"DeviceChanged(0);"};
  }
  return {};
}

std::string Describe(const Step& step) {
  switch (step.kind) {
    case StepKind::PlugIn:
      return "plugging the card reader in";
    case StepKind::PresentCard:
      return "card " + std::to_string(step.card) + " held to the reader (report scrambled with shift " +
             std::to_string(step.shift) + ")";
    case StepKind::BrokenReport:
      return "a report for card " + std::to_string(step.card) +
             " with a broken check value (the plug-in must ignore it)";
    case StepKind::PullOut:
      return "pulling the card reader out";
  }
  return "";
}

std::vector<std::uint8_t> BrokenCardReport(std::uint32_t card, std::uint8_t shift) {
  CardRecord record = MakeCardRecord(card);
  record[5] = static_cast<std::uint8_t>(record[5] ^ 0x01);  // the check value's low byte
  const CardReportBytes report = EncodeCardReport(record, shift, card);
  return std::vector<std::uint8_t>(report.begin(), report.end());
}
