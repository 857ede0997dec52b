// Frames read from a pipe whose writer hands them over in pieces, as a browser may: the
// length checked before the body is read, and every way the input can end.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "bridge/FrameReader.h"
#include "tests/bridge/FrameInbox.h"
#include "win32/UniqueResource.h"

using BridgeTests::Frame;
using BridgeTests::FrameWithLength;
using kelmar::Win32::UniqueHandle;

namespace {

struct Outcome {
  FrameStatus status;
  std::string text;  // the frame's body, or the start of the failure's detail
  HostErrorCode code = HostErrorCode::Failed;
};

struct Case {
  const char* name;
  std::vector<std::string> pieces;  // written one after the other, then the end of input
  std::vector<Outcome> outcomes;    // what successive reads give, up to the first non-frame
};

std::string Bytes(std::size_t count, char c) { return std::string(count, c); }

// Reads frames while another thread writes the pieces with pauses between them.
std::vector<Outcome> ReadAll(const std::vector<std::string>& pieces) {
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  if (!CreatePipe(&read, &write, nullptr, 0)) throw std::runtime_error("CreatePipe failed");
  const UniqueHandle readEnd(read);
  UniqueHandle writeEnd(write);
  std::thread writer([&] {
    for (const std::string& piece : pieces) {
      std::size_t at = 0;
      while (at < piece.size()) {
        DWORD written = 0;
        if (!WriteFile(writeEnd.Get(), piece.data() + at, static_cast<DWORD>(piece.size() - at), &written, nullptr))
          break;
        at += written;
      }
      Sleep(2);
    }
    writeEnd.Reset();
  });
  std::vector<Outcome> outcomes;
  for (;;) {
    FrameRead frame = ReadFrame(readEnd.Get());
    if (frame.status == FrameStatus::Frame) {
      outcomes.push_back({frame.status, frame.body});
      continue;
    }
    outcomes.push_back({frame.status, frame.error.detail, frame.error.code});
    break;
  }
  // A reader that gave up early leaves the writer blocked on a full pipe: drain it.
  char rest[4096];
  DWORD count = 0;
  while (ReadFile(readEnd.Get(), rest, sizeof rest, &count, nullptr) && count > 0) {
  }
  writer.join();
  return outcomes;
}

TEST(FrameReader, ReadsFramesWhateverPiecesTheyComeInAndRefusesBadOnes) {
  const std::string hello = Frame(R"({"type":"hello"})");
  const std::string atCap = Bytes(65536, 'a');
  const Outcome end{FrameStatus::EndOfInput, ""};
  const auto failed = [](HostErrorCode code, const char* detail) { return Outcome{FrameStatus::Failed, detail, code}; };
  const Case cases[] = {
      {"nothing", {}, {end}},
      {"two frames in one write",
       {hello + Frame("[]")},
       {{FrameStatus::Frame, R"({"type":"hello"})"}, {FrameStatus::Frame, "[]"}, end}},
      {"one byte at a time",
       [&] {
         std::vector<std::string> bytes;
         for (const char c : hello) bytes.emplace_back(1, c);
         return bytes;
       }(),
       {{FrameStatus::Frame, R"({"type":"hello"})"}, end}},
      {"body in pieces",
       {hello.substr(0, 6), hello.substr(6, 5), hello.substr(11)},
       {{FrameStatus::Frame, R"({"type":"hello"})"}, end}},
      {"exactly at the cap", {Frame(atCap)}, {{FrameStatus::Frame, atCap}, end}},
      {"one over the cap",
       {FrameWithLength(65537, Bytes(65537, 'a'))},
       {failed(HostErrorCode::FrameTooLong, "a frame of 65537 bytes, over the limit of 65536")}},
      {"largest length",
       {FrameWithLength(0xFFFFFFFFu, "")},
       {failed(HostErrorCode::FrameTooLong, "a frame of 4294967295 bytes")}},
      {"length 0", {FrameWithLength(0, "")}, {failed(HostErrorCode::EmptyFrame, "a frame of length 0")}},
      {"a frame, then length 0",
       {hello, FrameWithLength(0, "x")},
       {{FrameStatus::Frame, R"({"type":"hello"})"}, failed(HostErrorCode::EmptyFrame, "a frame of length 0")}},
      {"end inside the length",
       {hello, std::string("\x05\x00\x00", 3)},
       {{FrameStatus::Frame, R"({"type":"hello"})"},
        failed(HostErrorCode::TruncatedFrame, "input ended inside a frame's length (3 of 4 bytes)")}},
      {"end inside the body",
       {FrameWithLength(10, "abc")},
       {failed(HostErrorCode::TruncatedFrame, "input ended inside a frame (3 of 10 bytes)")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<Outcome> outcomes = ReadAll(c.pieces);
    ASSERT_EQ(outcomes.size(), c.outcomes.size());
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
      EXPECT_EQ(outcomes[i].status, c.outcomes[i].status) << i;
      if (outcomes[i].status == FrameStatus::Frame) {
        EXPECT_EQ(outcomes[i].text, c.outcomes[i].text) << i;
      } else if (outcomes[i].status == FrameStatus::Failed) {
        EXPECT_EQ(outcomes[i].code, c.outcomes[i].code) << i;
        EXPECT_EQ(outcomes[i].text.rfind(c.outcomes[i].text, 0), 0u) << outcomes[i].text;
      }
    }
  }
}

TEST(FrameReader, AnInputThatCannotBeReadIsAReadFailure) {
  const FrameRead frame = ReadFrame(GetCurrentProcess());
  EXPECT_EQ(frame.status, FrameStatus::Failed);
  EXPECT_EQ(frame.error.code, HostErrorCode::ReadFailed);
  EXPECT_EQ(frame.error.detail.rfind("cannot read standard input (error ", 0), 0u) << frame.error.detail;
}

}  // namespace
