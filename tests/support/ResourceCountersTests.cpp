#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/ResourceCounters.h"
#include "win32/UniqueResource.h"

namespace {

using kelmar::Win32::UniqueHandle;
using TestSupport::CountGdiObjects;
using TestSupport::CountHandles;
using TestSupport::CountThreads;

TEST(GdiObjectCounter, CountsEveryKindOfObjectWhileItLives) {
  RecordProperty("method", TestSupport::GdiCountingMethod());
  const int before = CountGdiObjects();
  {
    kelmar::Win32::UniqueCreatedDC dc(CreateCompatibleDC(nullptr));
    kelmar::Win32::UniqueBitmap bitmap(CreateBitmap(4, 4, 1, 32, nullptr));
    kelmar::Win32::UniqueResource<kelmar::Win32::GdiObjectTraits<HPEN>> pen(CreatePen(PS_SOLID, 1, RGB(1, 2, 3)));
    kelmar::Win32::UniqueResource<kelmar::Win32::GdiObjectTraits<HRGN>> region(CreateRectRgn(0, 0, 3, 3));
    ASSERT_TRUE(dc && bitmap && pen && region);
    EXPECT_EQ(CountGdiObjects(), before + 4) << TestSupport::GdiCountingMethod();
  }
  EXPECT_EQ(CountGdiObjects(), before);
}

TEST(HandleCounter, CountsOpenHandlesAndForgetsClosedOnes) {
  const int before = CountHandles();
  {
    UniqueHandle first(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    UniqueHandle second(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    HANDLE copy = nullptr;
    ASSERT_TRUE(
        DuplicateHandle(GetCurrentProcess(), first.Get(), GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS));
    UniqueHandle third(copy);
    EXPECT_EQ(CountHandles(), before + 3);
  }
  EXPECT_EQ(CountHandles(), before);
}

TEST(HandleCounter, SeesHandlesBeyondAWideGapOfClosedOnes) {
  const int before = CountHandles();
  std::vector<UniqueHandle> events(3000);
  for (UniqueHandle& event : events) {
    event.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event);
  }
  // The ten newest stay open above a hole of 2990 closed values.
  for (size_t i = 0; i + 10 < events.size(); ++i) events[i].Reset();
  EXPECT_EQ(CountHandles(), before + 10);
  events.clear();
  EXPECT_EQ(CountHandles(), before);
}

DWORD WINAPI WaitForRelease(void* release) {
  WaitForSingleObject(static_cast<HANDLE>(release), INFINITE);
  return 0;
}

TEST(ThreadCounter, CountsThreadsOfThisProcessUntilTheyEnd) {
  const int before = CountThreads();
  EXPECT_GE(before, 1);
  UniqueHandle release(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  UniqueHandle workers[2];
  for (UniqueHandle& worker : workers) {
    worker.Reset(CreateThread(nullptr, 0, WaitForRelease, release.Get(), 0, nullptr));
    ASSERT_TRUE(worker);
  }
  EXPECT_EQ(CountThreads(), before + 2);

  SetEvent(release.Get());
  for (UniqueHandle& worker : workers) WaitForSingleObject(worker.Get(), INFINITE);
  EXPECT_EQ(CountThreads(), before);
}

}  // namespace
