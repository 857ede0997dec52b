// The page as far as the plug-in can reach it: the global functions it defines, and the
// log of every script the plug-in evaluated in it.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "plugin/npapi/npruntime.h"

namespace nphost {

class HostedInstance;

struct ScriptRecord {
  std::string text;
  double seconds = 0;  // since the page was created
  HostedInstance* instance = nullptr;
  NPVariantType resultTypeOnEntry = NPVariantType_Void;  // as the plug-in handed the result in
  bool ran = false;                                      // a page function ran
};

// A call the page understands: `Name(<integer>);` exactly, nothing before or after.
struct PageCall {
  std::string function;
  long long argument = 0;
};
bool ParsePageCall(const std::string& script, PageCall& call);

class PageScript {
 public:
  // A page function; it may run a nested message loop (PumpUntil), as alert() does.
  using Function = std::function<void(HostedInstance& instance, long long argument)>;
  using Observer = std::function<void(const ScriptRecord& record)>;

  // A page that defines CardReaded and DeviceChanged, each doing nothing.
  PageScript();

  void Define(const std::string& name, Function function);
  void Remove(const std::string& name);
  // Told of every script as it is evaluated, before the page function runs.
  void Observe(Observer observer) { m_observer = std::move(observer); }

  // Records the script, then runs the page function it calls. False when it calls no
  // function the page defines: a script error, as the page would see it.
  bool Run(HostedInstance& instance, const std::string& script, NPVariantType resultTypeOnEntry);

  const std::vector<ScriptRecord>& Records() const { return m_records; }
  std::vector<std::string> Texts() const;
  void Clear() { m_records.clear(); }

 private:
  std::map<std::string, Function> m_functions;
  std::vector<ScriptRecord> m_records;
  Observer m_observer;
  long long m_start;
  long long m_frequency;
};

}  // namespace nphost
