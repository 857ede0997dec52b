#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "image/Image.h"
#include "res/ResourceIds.h"
#include "tests/support/ProgramDirectory.h"
#include "tests/support/ResourceCounters.h"
#include "win32/UniqueResource.h"

namespace {

using kelmar::Win32::UniqueBitmap;
using kelmar::Win32::UniqueCreatedDC;
using kelmar::Win32::UniqueModule;
using TestSupport::CountGdiObjects;

constexpr int kWidth = 27;
constexpr int kHeight = 25;
constexpr std::uint32_t kSentinel = 0x123456;  // red 0x12, green 0x34, blue 0x56

// The shipped DLL's resources, without running its code.
HMODULE PluginResources() {
  static const UniqueModule plugin(
      LoadLibraryExA(TestSupport::PathNextToProgram("npTARVX.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  return plugin.Get();
}

// The resource's own pixels, top row first, as 0xRRGGBB: read straight from its bytes.
std::vector<std::uint32_t> ResourcePixels(int id) {
  HMODULE module = PluginResources();
  HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2));
  const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(module, resource)));
  std::vector<std::uint32_t> pixels;
  if (bytes == nullptr) return pixels;
  constexpr int kRowSize = 84;
  for (int y = 0; y < kHeight; ++y) {
    const unsigned char* row = bytes + 40 + (kHeight - 1 - y) * kRowSize;
    for (int x = 0; x < kWidth; ++x) {
      const unsigned char* bgr = row + 3 * x;
      pixels.push_back(static_cast<std::uint32_t>(bgr[2]) << 16 | bgr[1] << 8 | bgr[0]);
    }
  }
  return pixels;
}

// A 32-bit top-down DIB section in a device context of its own, filled with one colour.
class Surface {
 public:
  Surface(int width, int height) : m_width(width), m_height(height), m_dc(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    m_bitmap.Reset(CreateDIBSection(m_dc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    m_bits = static_cast<std::uint32_t*>(bits);
    m_previous = SelectObject(m_dc.Get(), m_bitmap.Get());
    for (int i = 0; i < width * height; ++i) m_bits[i] = kSentinel;
  }
  ~Surface() { SelectObject(m_dc.Get(), m_previous); }
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  HDC Dc() const { return m_dc.Get(); }
  int Width() const { return m_width; }
  int Height() const { return m_height; }
  std::uint32_t At(int x, int y) const {
    GdiFlush();
    return m_bits[y * m_width + x] & 0xFFFFFF;
  }

 private:
  int m_width;
  int m_height;
  UniqueCreatedDC m_dc;
  UniqueBitmap m_bitmap;
  std::uint32_t* m_bits = nullptr;
  HGDIOBJ m_previous = nullptr;
};

// Every test starts and ends with an empty cache.
class StatusImage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(PluginResources(), nullptr) << "npTARVX.dll next to the test program";
    MemoryDCCache::Clear();
  }
  void TearDown() override { MemoryDCCache::Clear(); }
};

TEST_F(StatusImage, BothStatusBitmapsLoadAs27By25AndLeaveNothingBehind) {
  for (int id : {STATUS_BITMAP_IDLE, STATUS_BITMAP_LISTENING}) {
    const int before = CountGdiObjects();
    {
      CImage image;
      image.LoadBitmapResource(PluginResources(), id);
      EXPECT_EQ(image.GetWidth(), kWidth) << id;
      EXPECT_EQ(image.GetHeight(), kHeight) << id;
      EXPECT_EQ(CountGdiObjects(), before + 1) << "the bitmap of " << id;
    }
    EXPECT_EQ(CountGdiObjects(), before) << id;
  }
}

TEST_F(StatusImage, ReleaseBitmapEmptiesTheImageAndLoadingAgainReplacesTheBitmap) {
  const int before = CountGdiObjects();
  CImage image;
  image.LoadBitmapResource(PluginResources(), STATUS_BITMAP_IDLE);
  image.LoadBitmapResource(PluginResources(), STATUS_BITMAP_LISTENING);
  EXPECT_EQ(CountGdiObjects(), before + 1) << "the first bitmap is released, not leaked";

  image.ReleaseBitmap();
  EXPECT_EQ(image.GetWidth(), 0);
  EXPECT_EQ(image.GetHeight(), 0);
  EXPECT_EQ(CountGdiObjects(), before);
  image.ReleaseBitmap();  // already empty: nothing to do
  EXPECT_EQ(CountGdiObjects(), before);
}

TEST_F(StatusImage, ABitmapThatCannotBeLoadedLeavesTheImageEmptyAndDrawsNothing) {
  Surface target(40, 40);
  const int before = CountGdiObjects();
  CImage image;
  image.LoadBitmapResource(PluginResources(), 999);
  EXPECT_EQ(image.GetWidth(), 0);
  EXPECT_EQ(image.GetHeight(), 0);
  EXPECT_FALSE(image.DrawAt(target.Dc(), 0, 0));
  EXPECT_EQ(target.At(0, 0), kSentinel);
  EXPECT_EQ(CountGdiObjects(), before) << "no bitmap, and no device context was made";
}

// The pixels land unscaled with their top-left corner at (x, y), replacing what was there;
// what falls outside the target is clipped.
TEST_F(StatusImage, DrawAtCopiesTheResourcePixelForPixelAtThePoint) {
  struct Placement {
    int x;
    int y;
  };
  const Placement placements[] = {{0, 0}, {5, 7}, {-3, -2}, {20, 15}, {-10, 12}, {-27, 0}};
  for (int id : {STATUS_BITMAP_IDLE, STATUS_BITMAP_LISTENING}) {
    const std::vector<std::uint32_t> expected = ResourcePixels(id);
    ASSERT_EQ(expected.size(), static_cast<size_t>(kWidth * kHeight));
    for (const Placement& at : placements) {
      SCOPED_TRACE("bitmap " + std::to_string(id) + " at " + std::to_string(at.x) + "," + std::to_string(at.y));
      Surface target(40, 32);
      CImage image;
      image.LoadBitmapResource(PluginResources(), id);
      const BOOL drawn = image.DrawAt(target.Dc(), at.x, at.y);
      if (at.x > -kWidth) {
        EXPECT_TRUE(drawn);
      }

      int wrong = 0;
      for (int y = 0; y < target.Height(); ++y) {
        for (int x = 0; x < target.Width(); ++x) {
          const int sx = x - at.x;
          const int sy = y - at.y;
          const bool inside = sx >= 0 && sx < kWidth && sy >= 0 && sy < kHeight;
          const std::uint32_t want = inside ? expected[sy * kWidth + sx] : kSentinel;
          if (target.At(x, y) != want && ++wrong <= 3) {
            ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << target.At(x, y) << ", not " << want;
          }
        }
      }
      EXPECT_EQ(wrong, 0);
    }
  }
}

TEST_F(StatusImage, DrawAtANullTargetReturnsFalseAndLeavesTheCacheAlone) {
  HDC first = CreateCompatibleDC(nullptr);
  HDC second = CreateCompatibleDC(nullptr);
  MemoryDCCache::Give(first);
  MemoryDCCache::Give(second);  // slot 0: second, slot 1: first
  CImage image;
  image.LoadBitmapResource(PluginResources(), STATUS_BITMAP_LISTENING);
  const int before = CountGdiObjects();

  EXPECT_FALSE(image.DrawAt(nullptr, 0, 0));

  EXPECT_EQ(CountGdiObjects(), before);
  EXPECT_EQ(MemoryDCCache::Take(), second);
  EXPECT_EQ(MemoryDCCache::Take(), first);
  DeleteDC(first);
  DeleteDC(second);
}

// The size of the bitmap selected into `dc`.
SIZE SelectedBitmapSize(HDC dc) {
  BITMAP bitmap{};
  GetObjectA(GetCurrentObject(dc, OBJ_BITMAP), sizeof bitmap, &bitmap);
  return SIZE{bitmap.bmWidth, bitmap.bmHeight};
}

TEST_F(StatusImage, NestedAcquisitionsShareOneContextThatGoesBackAtTheLastReturn) {
  CImage image;
  image.LoadBitmapResource(PluginResources(), STATUS_BITMAP_IDLE);

  HDC outer = image.AcquireDC();
  ASSERT_NE(outer, nullptr);
  EXPECT_EQ(image.AcquireDC(), outer);
  EXPECT_EQ(SelectedBitmapSize(outer).cx, kWidth);

  image.ReturnDC();
  EXPECT_EQ(SelectedBitmapSize(outer).cx, kWidth) << "still in use after the inner return";
  HDC fromCache = MemoryDCCache::Take();
  EXPECT_NE(fromCache, outer) << "not in the cache yet";
  DeleteDC(fromCache);

  image.ReturnDC();
  EXPECT_EQ(SelectedBitmapSize(outer).cx, 1) << "the bitmap is taken out before it goes back";
  EXPECT_EQ(MemoryDCCache::Take(), outer);
  DeleteDC(outer);
}

TEST_F(StatusImage, AReturnWithoutAnAcquisitionChangesNothing) {
  HDC cached = CreateCompatibleDC(nullptr);
  MemoryDCCache::Give(cached);
  CImage image;
  image.LoadBitmapResource(PluginResources(), STATUS_BITMAP_IDLE);

  image.ReturnDC();  // nothing acquired yet
  EXPECT_EQ(image.AcquireDC(), cached) << "still in the cache";
  image.ReturnDC();
  image.ReturnDC();  // one too many

  EXPECT_EQ(MemoryDCCache::Take(), cached);
  HDC fresh = MemoryDCCache::Take();
  EXPECT_NE(fresh, cached) << "given back once only";
  DeleteDC(fresh);
  DeleteDC(cached);
}

TEST_F(StatusImage, DestroyingAnImageThatHoldsItsContextGivesTheContextBackAndFreesTheBitmap) {
  const int before = CountGdiObjects();
  HDC acquired = nullptr;
  {
    CImage image;
    image.LoadBitmapResource(PluginResources(), STATUS_BITMAP_LISTENING);
    acquired = image.AcquireDC();
    ASSERT_NE(acquired, nullptr);
  }
  EXPECT_EQ(CountGdiObjects(), before + 1) << "only the cached context is left";
  EXPECT_EQ(MemoryDCCache::Take(), acquired);
  EXPECT_EQ(SelectedBitmapSize(acquired).cx, 1);
  DeleteDC(acquired);
}

TEST_F(StatusImage, TheFirstDrawCachesOneContextAndLaterDrawsReuseIt) {
  Surface target(30, 30);
  const int empty = CountGdiObjects();
  {
    CImage image;
    image.LoadBitmapResource(PluginResources(), STATUS_BITMAP_IDLE);
    ASSERT_TRUE(image.DrawAt(target.Dc(), 0, 0));
  }
  EXPECT_EQ(CountGdiObjects(), empty + 1) << "one memory context, kept in the cache";
  HDC cached = MemoryDCCache::Take();
  ASSERT_NE(cached, nullptr);
  MemoryDCCache::Give(cached);

  for (int paint = 0; paint < 3; ++paint) {
    CImage image;
    image.LoadBitmapResource(PluginResources(), STATUS_BITMAP_LISTENING);
    EXPECT_EQ(image.AcquireDC(), cached) << "the context from slot 0";
    image.ReturnDC();
    ASSERT_TRUE(image.DrawAt(target.Dc(), 1, 1));
  }
  EXPECT_EQ(CountGdiObjects(), empty + 1) << "no context made and none lost";
  EXPECT_EQ(MemoryDCCache::Take(), cached);
  DeleteDC(cached);
}

TEST(MemoryDCCache, GivingToFourFullSlotsDeletesOnlyTheContextPushedOutOfSlot3) {
  MemoryDCCache::Clear();
  HDC dcs[5];
  for (HDC& dc : dcs) dc = CreateCompatibleDC(nullptr);
  for (int i = 0; i < 4; ++i) MemoryDCCache::Give(dcs[i]);  // slots 0..3: dcs 3, 2, 1, 0
  const int full = CountGdiObjects();

  MemoryDCCache::Give(dcs[4]);

  EXPECT_EQ(CountGdiObjects(), full - 1);
  EXPECT_EQ(GetObjectType(dcs[0]), 0u) << "dcs[0] was in slot 3 and is deleted";
  for (int expected = 4; expected >= 1; --expected) {
    EXPECT_EQ(MemoryDCCache::Take(), dcs[expected]);
  }
  HDC fresh = MemoryDCCache::Take();
  EXPECT_EQ(CountGdiObjects(), full) << "four taken out, one new: the cache held exactly four";
  for (HDC dc : {fresh, dcs[1], dcs[2], dcs[3], dcs[4]}) DeleteDC(dc);
}

TEST(MemoryDCCache, GivingNullChangesNothing) {
  MemoryDCCache::Clear();
  HDC only = CreateCompatibleDC(nullptr);
  MemoryDCCache::Give(only);
  MemoryDCCache::Give(nullptr);
  EXPECT_EQ(MemoryDCCache::Take(), only);
  HDC fresh = MemoryDCCache::Take();
  EXPECT_NE(fresh, only);
  DeleteDC(fresh);
  DeleteDC(only);
}

TEST(MemoryDCCache, ClearDeletesEveryCachedContext) {
  MemoryDCCache::Clear();
  const int before = CountGdiObjects();
  HDC dcs[3];
  for (HDC& dc : dcs) MemoryDCCache::Give(dc = CreateCompatibleDC(nullptr));
  EXPECT_EQ(CountGdiObjects(), before + 3);
  MemoryDCCache::Clear();
  EXPECT_EQ(CountGdiObjects(), before);
  for (HDC dc : dcs) EXPECT_EQ(GetObjectType(dc), 0u);
}

// Threads that take and give back at the same time: a context is never in two hands at
// once, and after clearing the cache none is left over.
TEST(MemoryDCCache, ThreadsSharingTheCacheNeverHoldTheSameContextAndLoseNone) {
  MemoryDCCache::Clear();
  const int before = CountGdiObjects();
  std::mutex lock;
  std::set<HDC> inUse;
  std::atomic<int> clashes{0};
  std::atomic<int> failures{0};

  auto work = [&] {
    for (int i = 0; i < 5000; ++i) {
      HDC dc = MemoryDCCache::Take();
      if (dc == nullptr) {
        ++failures;
        continue;
      }
      {
        std::lock_guard<std::mutex> guard(lock);
        if (!inUse.insert(dc).second) ++clashes;
      }
      SetTextColor(dc, RGB(i & 0xFF, 0, 0));
      {
        std::lock_guard<std::mutex> guard(lock);
        inUse.erase(dc);
      }
      MemoryDCCache::Give(dc);
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) threads.emplace_back(work);
  for (std::thread& thread : threads) thread.join();

  EXPECT_EQ(clashes.load(), 0);
  EXPECT_EQ(failures.load(), 0);
  EXPECT_LE(CountGdiObjects(), before + 4) << "at most four idle contexts remain";
  MemoryDCCache::Clear();
  EXPECT_EQ(CountGdiObjects(), before);
}

using DrawBitmapResource = BOOL (*)(HMODULE, int, HDC);

// A library that drew through the cache takes its cached context with it when it unloads.
TEST(MemoryDCCache, ContextsCachedByALibraryAreDeletedWhenItUnloads) {
  Surface target(30, 30);
  const int before = CountGdiObjects();
  UniqueModule painter(LoadLibraryA(TestSupport::PathNextToProgram("image_caching_painter.dll").c_str()));
  ASSERT_TRUE(painter) << "error " << GetLastError();
  const auto draw = reinterpret_cast<DrawBitmapResource>(
      reinterpret_cast<void (*)()>(GetProcAddress(painter.Get(), "DrawBitmapResource")));
  ASSERT_NE(draw, nullptr);

  EXPECT_TRUE(draw(PluginResources(), STATUS_BITMAP_LISTENING, target.Dc()));
  EXPECT_TRUE(draw(PluginResources(), STATUS_BITMAP_IDLE, target.Dc()));
  EXPECT_EQ(CountGdiObjects(), before + 1) << "one context cached in the library";

  painter.Reset();
  EXPECT_EQ(CountGdiObjects(), before);
}

}  // namespace
