#include "tools/demo/InteractiveCommand.h"

#include <cctype>
#include <optional>

#include "tools/demo/DemoOptions.h"

namespace {

std::string Trimmed(const std::string& line) {
  const char* blanks = " \t\r\n";
  const std::size_t first = line.find_first_not_of(blanks);
  if (first == std::string::npos) return "";
  return line.substr(first, line.find_last_not_of(blanks) - first + 1);
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

InteractiveCommand Command(CommandKind kind, Step step = Step{}) { return InteractiveCommand{kind, step}; }

}  // namespace

InteractiveCommand ParseInteractiveCommand(const std::string& line, std::size_t cardsSoFar) {
  const std::string word = Lower(Trimmed(line));
  if (word.empty()) return Command(CommandKind::Nothing);
  if (word == "quit" || word == "exit" || word == "q") return Command(CommandKind::Quit);
  if (word == "help" || word == "?") return Command(CommandKind::Help);
  if (word == "plug") return Command(CommandKind::RunStep, PlugInStep());
  if (word == "unplug") return Command(CommandKind::RunStep, PullOutStep());
  if (word == "bad") return Command(CommandKind::RunStep, BrokenReportStep());
  const std::optional<std::uint32_t> card = ParseCardNumber(word);
  if (card) return Command(CommandKind::RunStep, CardStep(*card, ShiftForCard(cardsSoFar)));
  return Command(CommandKind::Unknown);
}

const char* InteractiveHelpText() {
  return "Type a card number (0 to 4294967295) to hold that card to the reader, 'bad' for a\n"
         "report with a broken check value, 'unplug' or 'plug' for the reader, 'quit' to end.\n";
}
