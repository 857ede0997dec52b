// What the plug-in's window shows, read back from the window: the status pictures,
// unscaled at the centre, and the error text of a window without an instance.
#include "tests/e2e/EndToEndFixture.h"

#include "tests/support/ResourceCounters.h"

namespace {

using PaintTest = EndToEndTest;

constexpr COLORREF kWhite = RGB(255, 255, 255);

// Where the window differs from `picture` placed at (x, y) on white: "" when nowhere.
std::string Mismatch(const nphost::Pixels& window, const nphost::Pixels& picture, int x, int y) {
  if (picture.width == 0) return "the resource did not load";
  for (int row = 0; row < window.height; ++row) {
    for (int column = 0; column < window.width; ++column) {
      const COLORREF inPicture = picture.At(column - x, row - y);
      const COLORREF expected = inPicture == CLR_INVALID ? kWhite : inPicture;
      if (window.At(column, row) != expected) {
        return "pixel (" + std::to_string(column) + ", " + std::to_string(row) + ")";
      }
    }
  }
  return "";
}

struct PictureCase {
  const char* name;
  bool listening;
  int width, height;
  int x, y;
};

class PictureTest : public EndToEndTest, public ::testing::WithParamInterface<PictureCase> {};

TEST_P(PictureTest, StatusPictureIsDrawnUnscaledAtTheCentre) {
  const PictureCase& c = GetParam();
  StartBrowser();
  nphost::HostedInstance& instance = Embed(c.width, c.height);
  std::unique_ptr<simreader::Device> reader;
  if (c.listening) reader = std::make_unique<simreader::Device>(PlugInReader());

  const nphost::Pixels window = instance.Capture();
  ASSERT_EQ(window.width, c.width);
  const int id = c.listening ? 141 : 102;
  const nphost::Pixels picture = nphost::BitmapResourcePixels(browser->Library()->Module(), id);
  ASSERT_EQ(picture.width, 27);
  EXPECT_EQ(Mismatch(window, picture, c.x, c.y), "") << "bitmap " << id;
}

INSTANTIATE_TEST_SUITE_P(Cases, PictureTest,
                         ::testing::Values(PictureCase{"Listening", true, 100, 40, 36, 7},
                                           PictureCase{"Idle", false, 100, 40, 36, 7},
                                           PictureCase{"ListeningClipped", true, 20, 20, -3, -2},
                                           PictureCase{"IdleOdd", false, 31, 26, 2, 0}),
                         [](const ::testing::TestParamInfo<PictureCase>& tested) { return tested.param.name; });

TEST_F(PaintTest, PictureFollowsTheReader) {
  StartBrowser();
  nphost::HostedInstance& instance = Embed();
  const nphost::Pixels idle = nphost::BitmapResourcePixels(browser->Library()->Module(), 102);
  const nphost::Pixels listening = nphost::BitmapResourcePixels(browser->Library()->Module(), 141);
  EXPECT_EQ(Mismatch(instance.Capture(), idle, 36, 7), "");
  simreader::Device reader = PlugInReader();
  EXPECT_EQ(Mismatch(instance.Capture(), listening, 36, 7), "");
  nphost::PullOut(*browser, reader);
  EXPECT_EQ(Mismatch(instance.Capture(), idle, 36, 7), "");
}

// The frame and text a window without an instance shows, drawn here the same way.
nphost::Pixels ExpectedErrorPicture(HWND page, int width, int height) {
  HWND reference =
      CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 300, 300, width, height, page, nullptr, nullptr, nullptr);
  UpdateWindow(reference);
  HDC dc = GetDC(reference);
  RECT client{0, 0, width, height};
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  FrameRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  DrawTextA(dc, "Error occured", 13, &client, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
  ReleaseDC(reference, dc);
  nphost::Pixels pixels = nphost::CaptureClientArea(reference);
  DestroyWindow(reference);
  return pixels;
}

TEST_F(PaintTest, WindowWithoutAnInstanceShowsTheFrameAndErrorOccured) {
  StartBrowser();
  nphost::HostedInstance& attached = Embed();
  nphost::HostedInstance& bare = Embed(120, 40, false);
  // The plug-in's window procedure on a window whose user data names no instance.
  const WNDPROC plugin = ProcedureOf(attached.Window());
  SetWindowLongPtrA(bare.Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(plugin));

  const nphost::Pixels window = bare.Capture();
  const nphost::Pixels expected = ExpectedErrorPicture(browser->PageWindow(), 120, 40);
  ASSERT_EQ(window.width, 120);
  EXPECT_EQ(window.At(0, 0), RGB(0, 0, 0));
  EXPECT_EQ(window.At(119, 39), RGB(0, 0, 0));
  EXPECT_EQ(window.rows, expected.rows);
  EXPECT_EQ(bare.Capture().rows, expected.rows) << "the second paint differs";
  SetWindowLongPtrA(bare.Window(), GWLP_WNDPROC,
                    reinterpret_cast<LONG_PTR>(nphost::HostedInstance::HostWindowProcedure()));
}

// The memory device context the pictures are drawn through stays cached between paints
// and is deleted when the library goes.
TEST_F(PaintTest, CachedDeviceContextsAreDeletedWhenTheLibraryUnloads) {
  browser = std::make_unique<nphost::Browser>(nphost::LateFirefox());
  nphost::PumpMessages();
  const int before = TestSupport::CountGdiObjects();
  ASSERT_EQ(browser->Load(PluginPath()), NPERR_NO_ERROR);
  nphost::HostedInstance& instance = Embed();
  instance.Capture();
  instance.Capture();
  ASSERT_EQ(instance.Destroy(), NPERR_NO_ERROR);
  nphost::PumpMessages();
  const int painted = TestSupport::CountGdiObjects();
  browser->Unload();
  const int unloaded = TestSupport::CountGdiObjects();
  EXPECT_GT(painted, unloaded) << "nothing was cached, so nothing to delete";
  EXPECT_EQ(unloaded, before);
}

}  // namespace
