#include "tests/tools/simreader/SharedSession.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/support/ProgramDirectory.h"
#include "win32/UniqueResource.h"

using kelmar::Win32::UniqueHandle;

namespace SharedSessionTests {
namespace {

constexpr DWORD kServerStartMilliseconds = 10000;

class ServerEnvironment : public ::testing::Environment {
 public:
  ServerEnvironment() : m_session("tests-" + std::to_string(GetCurrentProcessId())), m_client(m_session) {}

  void SetUp() override {
    SetEnvironmentVariableA("SIMREADER_SHARED", m_session.c_str());
    std::string commandLine = ControlCommandLine("serve");
    std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back('\0');
    // Its output goes nowhere: a server left behind by a crash must not hold the test
    // runner's output pipe open.
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const kelmar::Win32::UniqueFileHandle nowhere(CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE,
                                                              FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                                              OPEN_EXISTING, 0, nullptr));
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nowhere.Get();
    startup.hStdOutput = nowhere.Get();
    startup.hStdError = nowhere.Get();
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(
        CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process))
        << commandLine << ": error " << GetLastError();
    m_process.Reset(process.hProcess);
    CloseHandle(process.hThread);
    const DWORD start = GetTickCount();
    while (m_client.Ping(m_serverProcessId) != ERROR_SUCCESS) {
      ASSERT_LT(GetTickCount() - start, kServerStartMilliseconds) << "the server does not answer";
      ASSERT_EQ(WaitForSingleObject(m_process.Get(), 20), WAIT_TIMEOUT) << "the server ended at once";
    }
  }

  void TearDown() override {
    if (!m_process) return;
    EXPECT_EQ(m_client.Stop(), static_cast<DWORD>(ERROR_SUCCESS));
    if (WaitForSingleObject(m_process.Get(), kServerStartMilliseconds) != WAIT_OBJECT_0) {
      ADD_FAILURE() << "the server did not end after stop";
      TerminateProcess(m_process.Get(), 1);
    }
  }

  const std::string& Session() const { return m_session; }
  DWORD ServerProcessId() const { return m_serverProcessId; }
  simreader::ControlClient& Client() { return m_client; }

 private:
  const std::string m_session;
  simreader::ControlClient m_client;
  UniqueHandle m_process;
  DWORD m_serverProcessId = 0;
};

// gtest owns it once added; added before main runs the tests.
ServerEnvironment* const theEnvironment =
    static_cast<ServerEnvironment*>(::testing::AddGlobalTestEnvironment(new ServerEnvironment()));

}  // namespace

const std::string& SessionName() { return theEnvironment->Session(); }
DWORD ServerProcessId() { return theEnvironment->ServerProcessId(); }
simreader::ControlClient& Server() { return theEnvironment->Client(); }

std::string ControlCommandLine(const std::string& arguments) {
  return "\"" + TestSupport::PathNextToProgram("simreader-ctl.exe") + "\" --session " + SessionName() + " " + arguments;
}

}  // namespace SharedSessionTests
