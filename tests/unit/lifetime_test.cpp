// The program's frame: palette and display resources, WOW64 detection, one-time shutdown.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "app/app.h"
#include "winsim/control.h"

namespace {

class Lifetime : public ::testing::Test {
 protected:
  void SetUp() override {
    ShutdownDone = false;
    UsePalette = false;
    AppPalette = PreviousPalette = nullptr;
    // No argument: the run ends right after its start-up checks.
    winsim::SetCommandLine(u"\"C:\\Program Files\\R7-Tastatur\\Uninstall_Quillmap.exe\"");
  }

  void RunWithDepth(int bitsPerPixel, int planes = 1) {
    winsim::Display display;
    display.bitsPerPixel = bitsPerPixel;
    display.planes = planes;
    winsim::SetDisplay(display);
    EXPECT_EQ(0, WinMain(nullptr, nullptr, nullptr, SW_SHOWNORMAL));
  }
};

TEST_F(Lifetime, PaletteHoldsTheTabledColours) {
  RunWithDepth(8);
  ASSERT_EQ(1u, winsim::Palettes().size());
  const winsim::PaletteRecord& palette = winsim::Palettes()[0];
  EXPECT_EQ(0x300, palette.version);
  ASSERT_EQ(256u, palette.entries.size());

  std::set<std::tuple<int, int, int>> distinct, cube;
  for (const PALETTEENTRY& e : palette.entries) {
    EXPECT_EQ(0, e.peFlags);
    distinct.insert({e.peRed, e.peGreen, e.peBlue});
    if (e.peRed % 51 == 0 && e.peGreen % 51 == 0 && e.peBlue % 51 == 0) cube.insert({e.peRed, e.peGreen, e.peBlue});
  }
  EXPECT_EQ(256u, distinct.size());
  EXPECT_EQ(216u, cube.size());

  struct Fixed {
    int position, red, green, blue;
  };
  const Fixed fixed[] = {{0, 0, 0, 0},        {1, 128, 0, 0},       {7, 192, 192, 192},  {9, 212, 208, 200},
                         {14, 22, 22, 22},    {21, 57, 57, 57},     {22, 255, 124, 128}, {28, 173, 169, 144},
                         {233, 165, 0, 33},   {246, 255, 251, 240}, {247, 29, 54, 82},   {248, 128, 128, 128},
                         {249, 255, 0, 0},    {252, 0, 0, 255},     {255, 255, 255, 255}};
  for (const Fixed& f : fixed) {
    const PALETTEENTRY& e = palette.entries[f.position];
    EXPECT_EQ(std::make_tuple(f.red, f.green, f.blue), std::make_tuple((int)e.peRed, (int)e.peGreen, (int)e.peBlue))
        << "position " << f.position;
  }
  // The free places hold cube colours only.
  for (int position : {10, 13, 29, 232}) {
    const PALETTEENTRY& e = palette.entries[position];
    EXPECT_TRUE(e.peRed % 51 == 0 && e.peGreen % 51 == 0 && e.peBlue % 51 == 0) << "position " << position;
  }
}

TEST_F(Lifetime, PaletteDisplayRealizesInBackgroundAndPutsThePreviousPaletteBack) {
  RunWithDepth(8);
  std::vector<std::string> selects = winsim::CallsNamed("SelectPalette");
  ASSERT_EQ(2u, selects.size());
  EXPECT_EQ("SelectPalette(0x1001, 0x2001, 1)", selects[0]);  // AppPalette, background
  EXPECT_EQ("SelectPalette(0x1001, 0x5000, 1)", selects[1]);  // the previous one back
  EXPECT_EQ(2u, winsim::CallsNamed("RealizePalette").size());
  EXPECT_TRUE(winsim::Palettes()[0].deleted);
  EXPECT_EQ(0, winsim::LiveDeviceContexts());
  EXPECT_EQ(nullptr, AppPalette);
  EXPECT_EQ(nullptr, PreviousPalette);
}

TEST_F(Lifetime, DepthIsPlanesTimesBitsAndOnlyUpToEightUsesAPalette) {
  struct Depth {
    int bits, planes;
    bool palette;
  };
  for (Depth d : {Depth{4, 1, true}, Depth{8, 1, true}, Depth{16, 1, false}, Depth{32, 1, false},
                  Depth{4, 4, false}, Depth{1, 8, true}}) {
    winsim::Reset();
    SetUp();
    RunWithDepth(d.bits, d.planes);
    EXPECT_EQ(d.palette ? 1u : 0u, winsim::Palettes().size()) << d.bits << " bits, " << d.planes << " planes";
    EXPECT_EQ(d.palette, UsePalette);
    EXPECT_EQ(0, winsim::LiveDeviceContexts());
  }
}

TEST_F(Lifetime, TrueColourShutdownOnlyDeletesTheDeviceContext) {
  RunWithDepth(32);
  EXPECT_TRUE(winsim::CallsNamed("SelectPalette").empty());
  EXPECT_TRUE(winsim::CallsNamed("DeleteObject").empty());
  EXPECT_EQ(std::vector<std::string>{"DeleteDC(0x1001)"}, winsim::CallsNamed("DeleteDC"));
}

TEST_F(Lifetime, ShutdownTwiceReleasesOnce) {
  RunWithDepth(8);
  winsim::ClearCalls();
  ShutdownApp();
  EXPECT_TRUE(winsim::Calls().empty());
}

TEST_F(Lifetime, CursorsAndDisplayAreSetUpBeforeTheEnvironment) {
  RunWithDepth(32);
  EXPECT_EQ(winsim::SystemCursor(32650), CurrentCursor);
  EXPECT_EQ(winsim::SystemCursor(32514), BusyCursor);
  EXPECT_EQ(1920, ScreenWidth);
  EXPECT_EQ(1080, ScreenHeight);
  EXPECT_EQ(SW_SHOWNORMAL, ShowCommand);
  EXPECT_EQ("CreateDCA(DISPLAY)", winsim::CallsNamed("CreateDCA").at(0));
  EXPECT_EQ("SetMapMode(0x1001, 1)", winsim::CallsNamed("SetMapMode").at(0));
}

TEST_F(Lifetime, LibrarySearchIsRestrictedBeforeAnythingElse) {
  RunWithDepth(32);
  ASSERT_GE(winsim::Calls().size(), 2u);
  EXPECT_EQ("GetProcAddress(0x7c800000, SetDefaultDllDirectories)", winsim::Calls()[0]);
  EXPECT_EQ("SetDefaultDllDirectories(2048)", winsim::Calls()[1]);
  EXPECT_EQ((uint32_t)LOAD_LIBRARY_SEARCH_SYSTEM32, winsim::DefaultDllDirectoriesFlags());
}

TEST_F(Lifetime, RunsWhereTheLoaderHasNoSetDefaultDllDirectories) {
  winsim::SetDefaultDllDirectoriesExported(false);
  RunWithDepth(32);
  EXPECT_EQ(0u, winsim::DefaultDllDirectoriesFlags());
  EXPECT_TRUE(ShutdownDone);
}

TEST(DetectWow64, AnswersFromIsWow64Process) {
  winsim::SetWow64(true);
  EXPECT_TRUE(DetectWow64());
  winsim::SetWow64(false);
  EXPECT_FALSE(DetectWow64());
}

TEST(DetectWow64, FalseWhenKernel32HasNoIsWow64Process) {
  winsim::SetWow64(true);
  winsim::SetIsWow64ProcessExported(false);
  EXPECT_FALSE(DetectWow64());
  EXPECT_TRUE(winsim::CallsNamed("IsWow64Process").empty());
}

}  // namespace
