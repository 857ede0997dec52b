// The resources of the built npTARVX.dll, read the way a browser and Windows read them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "res/ResourceIds.h"
#include "tests/support/ProgramDirectory.h"
#include "win32/UniqueResource.h"

namespace {

const WORD kChineseSimplified = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

std::string PluginPath() { return TestSupport::PathNextToProgram("npTARVX.dll"); }

class VersionResource : public ::testing::Test {
 protected:
  void SetUp() override {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(PluginPath().c_str(), &ignored);
    ASSERT_NE(size, 0u) << PluginPath() << " has no version resource, error " << GetLastError();
    m_block.resize(size);
    ASSERT_TRUE(GetFileVersionInfoA(PluginPath().c_str(), 0, size, m_block.data()));
  }

  // The value under `path`, or an empty vector if there is none.
  std::vector<char> Query(const std::string& path) {
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(m_block.data(), path.c_str(), &value, &length) || value == nullptr) {
      return {};
    }
    // String values are measured in characters, the others in bytes; both count bytes here.
    const char* bytes = static_cast<const char*>(value);
    return std::vector<char>(bytes, bytes + length);
  }

  std::vector<char> m_block;
};

// A browser takes the first translation and reads the strings of that language and code page.
TEST_F(VersionResource, TranslationLeadsToTheStringBlock040904e4) {
  const std::vector<char> translation = Query("\\VarFileInfo\\Translation");
  ASSERT_EQ(translation.size(), 4u);
  WORD language = 0;
  WORD codePage = 0;
  std::memcpy(&language, translation.data(), 2);
  std::memcpy(&codePage, translation.data() + 2, 2);
  EXPECT_EQ(language, 0x0409);
  EXPECT_EQ(codePage, 0x04E4);

  char block[16];
  std::snprintf(block, sizeof block, "%04x%04x", language, codePage);
  EXPECT_STREQ(block, "040904e4");
  EXPECT_FALSE(Query(std::string("\\StringFileInfo\\") + block + "\\MIMEType").empty());
}

TEST_F(VersionResource, StringsAreExactlyTheProductsOwn) {
  struct Entry {
    const char* key;
    const char* value;
  };
  const Entry entries[] = {
      {"CompanyName", " "},
      {"FileDescription", "TarvoUsbICReaderPlugIn"},
      {"FileExtents", "trv"},
      {"FileOpenName", "npTARVX"},
      {"FileVersion", "1, 0, 0, 1"},
      {"InternalName", "npTARVX"},
      {"MIMEType", "application/TarvoUsbICReader-plugin"},
      {"OriginalFilename", "npTARVX.dll"},
      {"ProductName", "TarvoUsbICReaderPlugIn"},
      {"ProductVersion", "1, 0, 0, 1"},
  };
  for (const Entry& entry : entries) {
    const std::vector<char> value = Query(std::string("\\StringFileInfo\\040904e4\\") + entry.key);
    ASSERT_FALSE(value.empty()) << entry.key << " is missing";
    // Browsers use the value as a C string: it must end where the text ends.
    EXPECT_STREQ(value.data(), entry.value) << entry.key;
    EXPECT_EQ(value.back(), '\0') << entry.key;
  }
  EXPECT_TRUE(Query("\\StringFileInfo\\040904e4\\LegalCopyright").empty());
}

TEST_F(VersionResource, FixedPartGivesVersion1001ForAWindowsNtDll) {
  const std::vector<char> fixed = Query("\\");
  ASSERT_EQ(fixed.size(), sizeof(VS_FIXEDFILEINFO));
  VS_FIXEDFILEINFO info;
  std::memcpy(&info, fixed.data(), sizeof info);
  EXPECT_EQ(info.dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(info.dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(info.dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(info.dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(info.dwProductVersionLS, 0x00000001u);
  EXPECT_EQ(info.dwFileFlagsMask, 0x3Fu);
  EXPECT_EQ(info.dwFileFlags, 0u);
  EXPECT_EQ(info.dwFileOS, 0x40004u);
  EXPECT_EQ(info.dwFileType, 2u);
}

class PluginResources : public ::testing::Test {
 protected:
  void SetUp() override {
    m_module.Reset(LoadLibraryExA(PluginPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(m_module) << PluginPath() << ": error " << GetLastError();
  }

  std::string Bytes(HRSRC resource) const {
    HGLOBAL loaded = LoadResource(m_module.Get(), resource);
    const char* data = static_cast<const char*>(LockResource(loaded));
    return std::string(data, SizeofResource(m_module.Get(), resource));
  }

  kelmar::Win32::UniqueModule m_module;
};

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR found) {
  reinterpret_cast<std::vector<WORD>*>(found)->push_back(language);
  return TRUE;
}

TEST_F(PluginResources, ManifestAsksToRunAsInvokerWithoutUiAccess) {
  HRSRC manifest = FindResourceA(m_module.Get(), MAKEINTRESOURCEA(2), MAKEINTRESOURCEA(24));
  ASSERT_NE(manifest, nullptr);
  const std::string text = Bytes(manifest);
  const size_t element = text.find("<requestedExecutionLevel");
  ASSERT_NE(element, std::string::npos) << text;
  const std::string attributes = text.substr(element, text.find('>', element) - element);
  EXPECT_NE(attributes.find("level=\"asInvoker\""), std::string::npos) << attributes;
  EXPECT_NE(attributes.find("uiAccess=\"false\""), std::string::npos) << attributes;
  EXPECT_NE(text.find("urn:schemas-microsoft-com:asm.v3"), std::string::npos);
}

// Both status pictures: 27 x 25, 24-bit, bottom-up, BI_RGB, no colour table, Chinese
// (Simplified) only.
TEST_F(PluginResources, StatusBitmapsAre2140ByteDibsInLanguage0804) {
  for (int id : {STATUS_BITMAP_IDLE, STATUS_BITMAP_LISTENING}) {
    SCOPED_TRACE("bitmap " + std::to_string(id));
    std::vector<WORD> languages;
    EnumResourceLanguagesA(m_module.Get(), MAKEINTRESOURCEA(2), MAKEINTRESOURCEA(id), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, std::vector<WORD>{kChineseSimplified});

    HRSRC resource = FindResourceExA(m_module.Get(), MAKEINTRESOURCEA(2), MAKEINTRESOURCEA(id), kChineseSimplified);
    ASSERT_NE(resource, nullptr);
    const std::string bytes = Bytes(resource);
    ASSERT_EQ(bytes.size(), 2140u);

    BITMAPINFOHEADER header;
    std::memcpy(&header, bytes.data(), sizeof header);
    EXPECT_EQ(header.biSize, 40u);
    EXPECT_EQ(header.biWidth, 27);
    EXPECT_EQ(header.biHeight, 25);
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biBitCount, 24);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(header.biSizeImage, 2100u);
    EXPECT_EQ(header.biXPelsPerMeter, 0);
    EXPECT_EQ(header.biYPelsPerMeter, 0);
    EXPECT_EQ(header.biClrUsed, 0u);
    EXPECT_EQ(header.biClrImportant, 0u);
    for (int row = 0; row < 25; ++row) {
      EXPECT_EQ(bytes.substr(40 + row * 84 + 81, 3), std::string(3, '\0')) << "padding of row " << row;
    }
  }
}

}  // namespace
