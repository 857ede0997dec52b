#include "tools/simreader/ctl/ControlCommand.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <optional>

#include "tools/diag/HexBytes.h"
#include "tools/simreader/ControlClient.h"
#include "tools/simreader/ControlServer.h"
#include "tools/simreader/ctl/ExitCodes.h"
#include "win32/UniqueResource.h"

using kelmar::Win32::UniqueHandle;
using simreader::ControlClient;

namespace {

constexpr std::uint16_t kReaderVendorId = 0x4154;
constexpr std::uint16_t kReaderProductId = 0x5652;
constexpr std::uint16_t kReaderReportLength = 17;
constexpr unsigned kDefaultShift = 3;
// How long stop waits for the server process to end after answering.
constexpr DWORD kServerEndMilliseconds = 10000;

struct Invocation {
  std::string session;
  std::string command;
  std::vector<std::string> operands;
  std::map<std::string, std::string> options;  // "--vid" -> "0x4154"
};

struct Context {
  const Invocation& invocation;
  ControlClient& client;
  std::ostream& out;
  std::ostream& err;

  int Fail(int code, const std::string& message) const {
    err << "simreader-ctl: " << message << std::endl;
    return code;
  }
  int Usage(const std::string& message) const { return Fail(kExitUsage, message + " (see --help)"); }
  // The exit code for a request's error, with its one-line explanation.
  int Result(DWORD error) const {
    switch (error) {
      case ERROR_SUCCESS:
        return kExitOk;
      case simreader::kServerUnreachable:
        return Fail(kExitNoServer, "no server answers for session \"" + invocation.session +
                                       "\" (start one with: simreader-ctl serve)");
      case ERROR_DEVICE_NOT_CONNECTED:
        return Fail(kExitFailed, "no such device");
      case ERROR_TIMEOUT:
        return Fail(kExitFailed, "timed out");
      default:
        return Fail(kExitFailed, "the server refused the request (error " + std::to_string(error) + ")");
    }
  }
};

std::optional<std::uint32_t> ParseNumber(const std::string& text, std::uint32_t maximum = 0xFFFFFFFFu) {
  if (text.empty() || text[0] == '-' || text[0] == '+') return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || value > maximum) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

// A number operand or option; `name` says which in the error.
bool ReadNumber(const Context& context, const std::string& text, const char* name, std::uint32_t maximum,
                std::uint32_t& value, int& exitCode) {
  const std::optional<std::uint32_t> number = ParseNumber(text, maximum);
  if (!number) {
    exitCode = context.Usage(std::string("not a valid ") + name + ": " + text);
    return false;
  }
  value = *number;
  return true;
}

std::string Hex4(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof(text), "0x%04x", value);
  return text;
}

int Serve(const Context& context) {
  DWORD running = 0;
  const bool answered = context.client.Ping(running) == ERROR_SUCCESS;
  ControlServer server(context.invocation.session);
  if (answered || !server.Open()) {
    const DWORD error = answered ? ERROR_ALREADY_EXISTS : GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED || error == ERROR_PIPE_BUSY) {
      return context.Fail(kExitCannotServe, "session \"" + context.invocation.session + "\" has a server already");
    }
    return context.Fail(kExitCannotServe, "cannot make the control pipe (error " + std::to_string(error) + ")");
  }
  context.out << "serving session " << context.invocation.session << std::endl;
  server.Run();
  return kExitOk;
}

int Stop(const Context& context) {
  DWORD serverProcessId = 0;
  const DWORD error = context.client.Ping(serverProcessId);
  if (error != ERROR_SUCCESS) return context.Result(error);
  const UniqueHandle server(OpenProcess(SYNCHRONIZE, FALSE, serverProcessId));
  const int code = context.Result(context.client.Stop());
  // Returning only once it has gone lets a script start the next server at once.
  if (code == kExitOk && server && WaitForSingleObject(server.Get(), kServerEndMilliseconds) != WAIT_OBJECT_0) {
    return context.Fail(kExitFailed, "the server has not ended");
  }
  return code;
}

int Ping(const Context& context) {
  std::uint32_t wait = 0;
  int exitCode = kExitOk;
  const auto option = context.invocation.options.find("--wait");
  if (option != context.invocation.options.end() &&
      !ReadNumber(context, option->second, "time in milliseconds", 0x7FFFFFFF, wait, exitCode)) {
    return exitCode;
  }
  const DWORD start = GetTickCount();
  DWORD serverProcessId = 0;
  DWORD error = context.client.Ping(serverProcessId);
  while (error == simreader::kServerUnreachable && GetTickCount() - start < wait) {
    Sleep(20);
    error = context.client.Ping(serverProcessId);
  }
  if (error == ERROR_SUCCESS) context.out << serverProcessId << std::endl;
  return context.Result(error);
}

int Plug(const Context& context) {
  struct Field {
    const char* option;
    const char* name;
    std::uint32_t value;
  };
  Field fields[] = {{"--vid", "vendor id", kReaderVendorId},
                    {"--pid", "product id", kReaderProductId},
                    {"--length", "report length", kReaderReportLength}};
  int exitCode = kExitOk;
  for (Field& field : fields) {
    const auto option = context.invocation.options.find(field.option);
    if (option != context.invocation.options.end() &&
        !ReadNumber(context, option->second, field.name, 0xFFFF, field.value, exitCode)) {
      return exitCode;
    }
  }
  unsigned id = 0;
  const DWORD error =
      context.client.AddDevice(static_cast<std::uint16_t>(fields[0].value), static_cast<std::uint16_t>(fields[1].value),
                               static_cast<std::uint16_t>(fields[2].value), id);
  if (error == ERROR_SUCCESS) context.out << id << std::endl;
  return context.Result(error);
}

int List(const Context& context) {
  std::vector<SimReaderDeviceInfo> devices;
  const DWORD error = context.client.ListDevices(devices);
  for (const SimReaderDeviceInfo& device : devices) {
    context.out << device.id << ' ' << Hex4(device.vendorId) << ' ' << Hex4(device.productId) << ' '
                << device.inputReportLength << ' ' << Hex4(device.faults) << ' ' << device.path << '\n';
  }
  context.out.flush();
  return context.Result(error);
}

// The commands that name a device: the id is the first operand.
int OnDevice(const Context& context) {
  const Invocation& invocation = context.invocation;
  const std::vector<std::string>& operands = invocation.operands;
  std::uint32_t id = 0;
  int exitCode = kExitOk;
  if (!ReadNumber(context, operands[0], "device id", 0xFFFFFFFFu, id, exitCode)) return exitCode;
  ControlClient& client = context.client;
  const std::string& command = invocation.command;
  if (command == "unplug") return context.Result(client.RemoveDevice(id));
  if (command == "fail-next-open") return context.Result(client.FailNextListeningOpen(id));
  if (command == "card") {
    std::uint32_t number = 0;
    std::uint32_t shift = kDefaultShift;
    const auto option = invocation.options.find("--shift");
    if (!ReadNumber(context, operands[1], "card number", 0xFFFFFFFFu, number, exitCode) ||
        (option != invocation.options.end() && !ReadNumber(context, option->second, "shift", 0xFF, shift, exitCode))) {
      return exitCode;
    }
    return context.Result(client.PresentCard(id, number, static_cast<unsigned char>(shift)));
  }
  if (command == "raw") {
    std::string text;
    for (std::size_t i = 1; i < operands.size(); ++i) text += (i > 1 ? " " : "") + operands[i];
    // No bytes at all is a report too: the empty read a device gives.
    if (text.find_first_not_of(" \t,:-") == std::string::npos) return context.Result(client.SendReport(id, nullptr, 0));
    const ParsedHex hex = ParseHexBytes(text);
    if (!hex.bytes) return context.Usage("not hex bytes: " + hex.error);
    return context.Result(client.SendReport(id, hex.bytes->data(), static_cast<unsigned>(hex.bytes->size())));
  }
  if (command == "faults") {
    std::uint32_t faults = 0;
    if (!ReadNumber(context, operands[1], "fault mask", 0xFFFFFFFFu, faults, exitCode)) return exitCode;
    return context.Result(client.SetFaults(id, faults));
  }
  if (command == "handles") {
    int count = 0;
    const DWORD error = client.OpenHandleCount(id, count);
    if (error == ERROR_SUCCESS) context.out << count << std::endl;
    return context.Result(error);
  }
  if (command == "wait-handles") {
    std::uint32_t count = 0;
    std::uint32_t milliseconds = 0;
    if (!ReadNumber(context, operands[1], "handle count", 63, count, exitCode) ||
        !ReadNumber(context, operands[2], "time in milliseconds", 0x7FFFFFFF, milliseconds, exitCode)) {
      return exitCode;
    }
    return context.Result(client.WaitForOpenHandles(id, static_cast<int>(count), milliseconds));
  }
  // last-write
  LONGLONG counter = 0;
  const DWORD error = client.LastWriteTime(id, counter);
  if (error == ERROR_SUCCESS) context.out << counter << std::endl;
  return context.Result(error);
}

struct CommandSpec {
  const char* name;
  std::size_t minOperands;
  std::size_t maxOperands;
  std::vector<std::string> options;
  int (*run)(const Context&);
};

const std::vector<CommandSpec>& Commands() {
  constexpr std::size_t kAny = 0x7FFFFFFF;
  static const std::vector<CommandSpec> commands = {
      {"serve", 0, 0, {}, Serve},
      {"stop", 0, 0, {}, Stop},
      {"ping", 0, 0, {"--wait"}, Ping},
      {"plug", 0, 0, {"--vid", "--pid", "--length"}, Plug},
      {"list", 0, 0, {}, List},
      {"unplug", 1, 1, {}, OnDevice},
      {"card", 2, 2, {"--shift"}, OnDevice},
      {"raw", 1, kAny, {}, OnDevice},
      {"faults", 2, 2, {}, OnDevice},
      {"fail-next-open", 1, 1, {}, OnDevice},
      {"handles", 1, 1, {}, OnDevice},
      {"wait-handles", 3, 3, {}, OnDevice},
      {"last-write", 1, 1, {}, OnDevice},
  };
  return commands;
}

std::string SessionFromEnvironment() {
  char session[256];
  const DWORD length = GetEnvironmentVariableA("SIMREADER_SHARED", session, sizeof(session));
  return length == 0 || length >= sizeof(session) ? std::string("default") : std::string(session, length);
}

// Splits the command line; an error message when it does not fit the command.
std::string Parse(const std::vector<std::string>& arguments, Invocation& invocation, const CommandSpec*& spec) {
  invocation.session = SessionFromEnvironment();
  std::size_t at = 0;
  if (at < arguments.size() && arguments[at] == "--session") {
    if (at + 1 >= arguments.size() || arguments[at + 1].empty()) return "--session needs a name";
    invocation.session = arguments[at + 1];
    at += 2;
  }
  if (at >= arguments.size()) return "no command";
  invocation.command = arguments[at++];
  const auto found = std::find_if(Commands().begin(), Commands().end(),
                                  [&](const CommandSpec& command) { return invocation.command == command.name; });
  if (found == Commands().end()) return "unknown command: " + invocation.command;
  spec = &*found;
  for (; at < arguments.size(); ++at) {
    const std::string& argument = arguments[at];
    const bool isOption = argument.size() > 2 && argument.compare(0, 2, "--") == 0;
    if (!isOption) {
      invocation.operands.push_back(argument);
      continue;
    }
    if (std::find(spec->options.begin(), spec->options.end(), argument) == spec->options.end()) {
      return "unknown option for " + invocation.command + ": " + argument;
    }
    if (at + 1 >= arguments.size()) return argument + " needs a value";
    invocation.options[argument] = arguments[++at];
  }
  if (invocation.operands.size() < spec->minOperands || invocation.operands.size() > spec->maxOperands) {
    return "wrong number of arguments for " + invocation.command;
  }
  return std::string();
}

}  // namespace

int RunControlCommand(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "help")) {
    out << ControlUsageText();
    return kExitOk;
  }
  Invocation invocation;
  const CommandSpec* spec = nullptr;
  const std::string problem = Parse(arguments, invocation, spec);
  if (!problem.empty()) {
    err << "simreader-ctl: " << problem << " (see --help)" << std::endl;
    return kExitUsage;
  }
  ControlClient client(invocation.session);
  const Context context{invocation, client, out, err};
  return spec->run(context);
}

const char* ControlUsageText() {
  return "Usage: simreader-ctl [--session NAME] COMMAND [ARGUMENTS]\n"
         "The session is NAME, else SIMREADER_SHARED, else \"default\". Programs whose\n"
         "SIMREADER_SHARED names the session see its devices.\n"
         "  serve                      run the session's server until stop\n"
         "  stop                       unplug everything, end the server and wait for it\n"
         "  ping [--wait MS]           print the server's process id (waiting up to MS for it)\n"
         "  plug [--vid V] [--pid P] [--length N]\n"
         "                             plug a device in (default: the reader, 0x4154 0x5652 17);\n"
         "                             prints its id\n"
         "  unplug ID                  unplug it\n"
         "  card ID NUMBER [--shift S] present a card (the reader's report; shift 3 by default)\n"
         "  raw ID HEX                 send any bytes as one report (\"\" for none)\n"
         "  list                       one line per device: id vid pid length faults path\n"
         "  faults ID MASK             set the device's faults (SimReaderApi.h)\n"
         "  fail-next-open ID          fail the open for reading after the next attributes query\n"
         "  handles ID                 print how many handles are open on it\n"
         "  wait-handles ID COUNT MS   wait until exactly COUNT handles are open\n"
         "  last-write ID              print the QueryPerformanceCounter of its last report\n"
         "Exit codes: 0 done, 1 refused (no such device, timed out), 2 usage,\n"
         "3 no server for the session, 4 serve: the session has a server already.\n";
}
