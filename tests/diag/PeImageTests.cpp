// Reading a DLL's machine, exports and version from its bytes: built fixtures and damaged
// files (the plug-in and program this build made: BuiltImageTests.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/diag/PeFixture.h"
#include "tools/diag/PeImage.h"

namespace {

TEST(PeImage, ReadsMachineKindExportsAndVersion) {
  struct Case {
    const char* why;
    PeFixture fixture;
    std::string version;  // empty: none
  };
  const auto with = [](auto change) {
    PeFixture fixture;
    change(fixture);
    return fixture;
  };
  const Case cases[] = {
      {"32-bit DLL", PeFixture{}, "1.0.0.1"},
      {"64-bit DLL (PE32+)", with([](PeFixture& f) { f.machine = kMachineAmd64; }), "1.0.0.1"},
      {"a program", with([](PeFixture& f) { f.isDll = false; }), "1.0.0.1"},
      {"no export table", with([](PeFixture& f) { f.exports.clear(); }), "1.0.0.1"},
      {"no version", with([](PeFixture& f) { f.version.reset(); }), ""},
      {"large version numbers", with([](PeFixture& f) {
         f.version = {{65535, 2, 300, 40000}};
       }),
       "65535.2.300.40000"},
  };
  for (const Case& c : cases) {
    const PeImage image = ReadPeImage(c.fixture.Build());
    ASSERT_EQ(image.error, "") << c.why;
    EXPECT_EQ(image.machine, c.fixture.machine) << c.why;
    EXPECT_EQ(image.isDll, c.fixture.isDll) << c.why;
    EXPECT_EQ(image.exportNames, c.fixture.exports) << c.why;
    EXPECT_EQ(image.fileVersion.value_or(""), c.version) << c.why;
  }
}

TEST(PeImage, FilesThatAreNoPeImageSaySo) {
  const std::string good = PeFixture{}.Build();
  std::string farHeader = good;
  farHeader[0x3C] = '\x7F';  // e_lfanew beyond the file's end
  farHeader[0x3F] = '\x7F';
  std::string badMagic = good;
  badMagic[0x40 + 24] = '\x07';
  const struct {
    std::string bytes;
    std::string error;
  } cases[] = {
      {"", "no MZ header"},
      {"Path=C:\\npTARVX\\npTARVX.dll\r\n" + std::string(64, ' '), "no MZ header"},
      {"MZ", "no MZ header"},
      {good.substr(0, 0x40), "no PE header"},
      {farHeader, "no PE header"},
      {badMagic, "PE header is damaged"},
      {good.substr(0, 0x40 + 24 + 224 + 20), "section table is cut short"},
  };
  for (const auto& c : cases) {
    EXPECT_NE(ReadPeImage(c.bytes).error.find(c.error), std::string::npos) << ReadPeImage(c.bytes).error;
  }
}

// A file cut anywhere, as by an interrupted copy, reads without reading past its end, and
// never yields a name that is not in the file.
TEST(PeImage, EveryTruncationReadsSafely) {
  PeFixture fixture;
  fixture.machine = kMachineAmd64;
  const std::string whole = fixture.Build();
  for (std::size_t length = 0; length < whole.size(); ++length) {
    const PeImage image = ReadPeImage(whole.substr(0, length));
    for (const std::string& name : image.exportNames) {
      EXPECT_NE(std::find(fixture.exports.begin(), fixture.exports.end(), name), fixture.exports.end()) << length;
    }
  }
}

TEST(PeImage, ABogusExportCountIsRefusedNotFollowed) {
  std::string bytes = PeFixture{}.Build();
  // NumberOfNames in the export directory at the section's start (file offset 0x200).
  for (std::size_t i = 0; i < 4; ++i) bytes[0x200 + 24 + i] = '\xFF';
  const PeImage image = ReadPeImage(bytes);
  EXPECT_EQ(image.error, "");
  EXPECT_TRUE(image.exportNames.empty());
}

}  // namespace
