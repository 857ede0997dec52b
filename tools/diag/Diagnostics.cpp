#include "tools/diag/Diagnostics.h"

#include <exception>
#include <memory>

#include "tools/diag/BridgeCheck.h"
#include "tools/diag/CommandLine.h"
#include "tools/diag/DecodeCommand.h"
#include "tools/diag/DeviceListing.h"
#include "tools/diag/ExitCodes.h"
#include "tools/diag/PluginCheck.h"
#include "tools/diag/ReaderListening.h"
#include "win32/Exceptions.h"

namespace {

int RunChecks(const DiagOptions& options, std::ostream& out) {
  const std::unique_ptr<MachineProbe> probe = MakeSystemMachineProbe();
  const int bridge = options.checkBridge ? RunBridgeCheck(*probe, out) : kExitOk;
  if (options.checkBridge && options.checkPlugin) out << "\n";
  const int plugin = options.checkPlugin ? RunPluginCheck(*probe, out) : kExitOk;
  return bridge == kExitOk && plugin == kExitOk ? kExitOk : kExitFailed;
}

int RunCommand(const DiagOptions& options, HANDLE interrupt, std::ostream& out, std::ostream& err) {
  switch (options.command) {
    case DiagCommand::Help:
      out << UsageText();
      return kExitOk;
    case DiagCommand::List:
      return RunDeviceListing(out);
    case DiagCommand::Listen:
      return RunListening(options, interrupt, out);
    case DiagCommand::Decode:
      return RunDecode(options.hexText, out, err);
    case DiagCommand::Check:
      return RunChecks(options, out);
  }
  return kExitUsage;
}

}  // namespace

int RunDiagnostics(const std::vector<std::string>& arguments, HANDLE interrupt, std::ostream& out, std::ostream& err) {
  const ParsedCommandLine parsed = ParseCommandLine(arguments);
  if (!parsed.options) {
    err << "tarvx-diag: " << parsed.error << "\nTry tarvx-diag --help.\n";
    return kExitUsage;
  }
  try {
    return RunCommand(*parsed.options, interrupt, out, err);
  } catch (const kelmar::Win32::CExceptionEx& failure) {
    out.flush();
    err << "tarvx-diag: " << failure.GetOrigin() << ": " << failure.GetMessageText() << "\n";
  } catch (const std::exception& failure) {
    out.flush();
    err << "tarvx-diag: " << failure.what() << "\n";
  }
  return kExitFailed;
}
