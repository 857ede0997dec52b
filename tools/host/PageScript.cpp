#include "tools/host/PageScript.h"

#include <windows.h>

#include <cctype>
#include <cstdlib>
#include <utility>

namespace nphost {
namespace {

long long Counter() {
  LARGE_INTEGER value;
  QueryPerformanceCounter(&value);
  return value.QuadPart;
}

bool IsIdentifier(const std::string& text) {
  if (text.empty() || std::isdigit(static_cast<unsigned char>(text[0]))) return false;
  for (char c : text) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '$') return false;
  }
  return true;
}

bool IsInteger(const std::string& text) {
  const std::size_t first = (!text.empty() && text[0] == '-') ? 1 : 0;
  if (text.size() == first || text.size() - first > 18) return false;
  for (std::size_t i = first; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

}  // namespace

bool ParsePageCall(const std::string& script, PageCall& call) {
  const std::size_t open = script.find('(');
  const std::string tail = ");";
  if (open == std::string::npos || script.size() < open + 1 + tail.size()) return false;
  if (script.compare(script.size() - tail.size(), tail.size(), tail) != 0) return false;
  const std::string name = script.substr(0, open);
  const std::string argument = script.substr(open + 1, script.size() - tail.size() - open - 1);
  if (!IsIdentifier(name) || !IsInteger(argument)) return false;
  call.function = name;
  call.argument = std::strtoll(argument.c_str(), nullptr, 10);
  return true;
}

PageScript::PageScript() : m_start(Counter()) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  m_frequency = frequency.QuadPart;
  Define("CardReaded", [](HostedInstance&, long long) {});
  Define("DeviceChanged", [](HostedInstance&, long long) {});
}

void PageScript::Define(const std::string& name, Function function) { m_functions[name] = std::move(function); }

void PageScript::Remove(const std::string& name) { m_functions.erase(name); }

bool PageScript::Run(HostedInstance& instance, const std::string& script, NPVariantType resultTypeOnEntry) {
  ScriptRecord record;
  record.text = script;
  record.seconds = static_cast<double>(Counter() - m_start) / static_cast<double>(m_frequency);
  record.instance = &instance;
  record.resultTypeOnEntry = resultTypeOnEntry;

  PageCall call;
  const bool parsed = ParsePageCall(script, call);
  const auto function = parsed ? m_functions.find(call.function) : m_functions.end();
  record.ran = function != m_functions.end();
  m_records.push_back(record);
  if (m_observer) m_observer(record);
  if (!record.ran) return false;
  // A copy: the page function may redefine itself while it runs.
  const Function run = function->second;
  run(instance, call.argument);
  return true;
}

std::vector<std::string> PageScript::Texts() const {
  std::vector<std::string> texts;
  for (const ScriptRecord& record : m_records) texts.push_back(record.text);
  return texts;
}

}  // namespace nphost
