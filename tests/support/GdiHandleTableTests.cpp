#include "tests/support/GdiHandleTable.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "win32/UniqueResource.h"

namespace {

bool Listed(HGDIOBJ object) {
  const auto entries = TestSupport::ReadGdiHandleTable();
  return std::any_of(entries.begin(), entries.end(), [&](const TestSupport::GdiTableEntry& entry) {
    return entry.handle == reinterpret_cast<std::uintptr_t>(object);
  });
}

TEST(GdiHandleTable, ListsAnObjectWithItsTypeWhileItLives) {
  kelmar::Win32::UniqueCreatedDC dc(CreateCompatibleDC(nullptr));
  kelmar::Win32::UniqueBitmap bitmap(CreateBitmap(4, 4, 1, 32, nullptr));
  ASSERT_TRUE(dc && bitmap);
  if (TestSupport::GdiTableTypeOf(dc.Get()) == 0) GTEST_SKIP() << "not Wine's table layout";
  EXPECT_TRUE(Listed(dc.Get()));
  EXPECT_NE(TestSupport::GdiTableTypeOf(dc.Get()), TestSupport::GdiTableTypeOf(bitmap.Get()));
  const HDC gone = dc.Get();
  dc.Reset();
  EXPECT_FALSE(Listed(gone));
  EXPECT_EQ(TestSupport::GdiTableTypeOf(gone), 0u);
}

}  // namespace
