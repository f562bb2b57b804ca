// The status window: its class and place on the screen, painting the one status line, the
// immediate repaint and wait cursor of SetStatusText, and the window procedure's messages.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "support/case_name.h"
#include "ui/ui.h"
#include "winsim/control.h"

namespace {

const HPALETTE SomePalette = (HPALETTE)(uintptr_t)0x2001;

// A handle as the call record writes it.
std::string HandleText(const void* handle) {
  char text[32];
  snprintf(text, sizeof text, "0x%lx", (unsigned long)(uintptr_t)handle);
  return text;
}

class StatusWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    AppInstance = GetModuleHandleA(nullptr);
    ShowCommand = SW_SHOWNORMAL;
    ScreenWidth = 1920;
    ScreenHeight = 1080;
    UsePalette = false;
    AppPalette = nullptr;
    PreviousPalette = nullptr;
    DisplayDC = nullptr;
    ShutdownDone = false;
    StatusWindowHandle = nullptr;
    CurrentCursor = winsim::SystemCursor(32650);
    BusyCursor = winsim::SystemCursor(32514);
    StatusLine[0] = 0;
    snprintf(ProgramName, sizeof ProgramName, "%s", "Uninstall_Quillmap");
    snprintf(WindowTitle, sizeof WindowTitle, "%s",
             "Uninstall_Quillmap V1.06 - Tastaturtreiber-Deinstallation");
  }
  void TearDown() override { StatusWindowHandle = nullptr; }

  HWND Create() {
    EXPECT_TRUE(CreateStatusWindow());
    return StatusWindowHandle;
  }

  static const winsim::WindowRecord& Record(HWND window) {
    const winsim::WindowRecord* record = winsim::FindWindowRecord(window);
    EXPECT_NE(nullptr, record);
    return *record;
  }

  // The names of the recorded calls, e.g. "GetDC", in order.
  static std::vector<std::string> CallNames() {
    std::vector<std::string> names;
    for (const std::string& line : winsim::Calls()) names.push_back(line.substr(0, line.find('(')));
    return names;
  }

  static RECT Client(HWND window) {
    RECT rect = {};
    GetClientRect(window, &rect);
    return rect;
  }
};

void ExpectSameRect(const RECT& expected, const RECT& actual, const std::string& what) {
  EXPECT_EQ(expected.left, actual.left) << what;
  EXPECT_EQ(expected.top, actual.top) << what;
  EXPECT_EQ(expected.right, actual.right) << what;
  EXPECT_EQ(expected.bottom, actual.bottom) << what;
}

// ---- Class and creation -------------------------------------------------------------------------

TEST_F(StatusWindow, ClassRecordAsTabled) {
  Create();
  ASSERT_EQ(1u, winsim::RegisteredClasses().size());
  const winsim::ClassRecord& record = winsim::RegisteredClasses()[0];
  const WNDCLASSEXA& c = record.fields;
  EXPECT_EQ(sizeof(WNDCLASSEXA), c.cbSize);
  EXPECT_EQ(3u, c.style);
  EXPECT_EQ(&StatusWindowProc, c.lpfnWndProc);
  EXPECT_EQ(0, c.cbClsExtra);
  EXPECT_EQ(0, c.cbWndExtra);
  EXPECT_EQ(AppInstance, c.hInstance);
  EXPECT_EQ(winsim::ResourceIcon("aaProgramIcon"), c.hIcon);
  EXPECT_EQ(nullptr, c.hCursor);
  EXPECT_EQ(winsim::StockBrush(WHITE_BRUSH), c.hbrBackground);
  EXPECT_EQ("", record.menuName);
  EXPECT_EQ("Uninstall_Quillmap", record.className);
  EXPECT_EQ(c.hIcon, c.hIconSm);
}

TEST_F(StatusWindow, IconsFallBackAsTabled) {
  struct Case {
    const char* what;
    std::vector<std::string> resources;
    HICON icon;
    HICON smallIcon;
  };
  const Case cases[] = {
      {"program icon only", {"aaProgramIcon"}, winsim::ResourceIcon("aaProgramIcon"),
       winsim::ResourceIcon("aaProgramIcon")},
      {"no icon resource", {}, winsim::SystemIcon(32512), winsim::SystemIcon(32512)},
      {"both icons", {"aaProgramIcon", "aaProgramSmallIcon"}, nullptr, nullptr},
      {"small icon only", {"aaProgramSmallIcon"}, winsim::SystemIcon(32512), nullptr},
  };
  for (const Case& c : cases) {
    winsim::Reset();
    winsim::SetIconResources(c.resources);
    HICON icon = c.icon ? c.icon : winsim::ResourceIcon("aaProgramIcon");
    HICON smallIcon = c.smallIcon ? c.smallIcon : winsim::ResourceIcon("aaProgramSmallIcon");
    Create();
    ASSERT_EQ(1u, winsim::RegisteredClasses().size()) << c.what;
    EXPECT_EQ(icon, winsim::RegisteredClasses()[0].fields.hIcon) << c.what;
    EXPECT_EQ(smallIcon, winsim::RegisteredClasses()[0].fields.hIconSm) << c.what;
  }
}

struct GeometryCase {
  const char* what;
  int screenWidth, screenHeight;
  int x, y, width, height;
};

class StatusWindowGeometry : public StatusWindow,
                             public ::testing::WithParamInterface<GeometryCase> {};

TEST_P(StatusWindowGeometry, CentredQuarterWideSixthHigh) {
  const GeometryCase& c = GetParam();
  ScreenWidth = c.screenWidth;
  ScreenHeight = c.screenHeight;
  const winsim::WindowRecord& window = Record(Create());
  EXPECT_EQ(c.x, window.x);
  EXPECT_EQ(c.y, window.y);
  EXPECT_EQ(c.width, window.width);
  EXPECT_EQ(c.height, window.height);
}

INSTANTIATE_TEST_SUITE_P(Screens, StatusWindowGeometry,
                         ::testing::Values(GeometryCase{"1920x1080", 1920, 1080, 720, 450, 480, 180},
                                           GeometryCase{"1366x768", 1366, 768, 512, 320, 341, 128},
                                           GeometryCase{"odd 1023x767", 1023, 767, 384, 320, 255, 127},
                                           GeometryCase{"800x600", 800, 600, 300, 250, 200, 100}),
                         CaseName<::testing::TestParamInfo<GeometryCase>>);

TEST_F(StatusWindow, TopLevelWindowWithTitleAndStyle) {
  HWND handle = Create();
  ASSERT_NE(nullptr, handle);
  const winsim::WindowRecord& window = Record(handle);
  EXPECT_EQ(0u, window.exStyle);
  EXPECT_EQ("Uninstall_Quillmap", window.className);
  EXPECT_EQ("Uninstall_Quillmap V1.06 - Tastaturtreiber-Deinstallation", window.title);
  EXPECT_EQ((DWORD)(WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS), window.style);
  EXPECT_EQ(nullptr, window.parent);
  EXPECT_EQ(nullptr, window.menu);
  EXPECT_EQ(AppInstance, window.instance);
  EXPECT_EQ(nullptr, window.param);
}

TEST_F(StatusWindow, ShownWithTheShowCommandAndPaintedBeforeCreationReturns) {
  ShowCommand = SW_SHOWDEFAULT;
  HWND handle = Create();
  const winsim::WindowRecord& window = Record(handle);
  EXPECT_TRUE(window.visible);
  EXPECT_EQ(SW_SHOWDEFAULT, window.lastShowCommand);
  EXPECT_FALSE(window.invalid);
  ASSERT_EQ(1u, winsim::Erasures().size());
  EXPECT_EQ(winsim::StockBrush(WHITE_BRUSH), winsim::Erasures()[0].brush);
  ASSERT_EQ(1u, winsim::DrawnTexts().size());
  EXPECT_EQ("", winsim::DrawnTexts()[0].text);  // nothing to say yet
}

TEST_F(StatusWindow, FailedCreationLeavesNoWindowAndStillSucceeds) {
  struct Case {
    const char* what;
    const char* function;
  };
  for (Case c : {Case{"registration failed", "RegisterClassExA"},
                 Case{"creation failed", "CreateWindowExA"}}) {
    winsim::Reset();
    SetUp();
    winsim::FailCall(c.function, "*", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_TRUE(CreateStatusWindow()) << c.what;
    EXPECT_EQ(nullptr, StatusWindowHandle) << c.what;
    EXPECT_TRUE(winsim::CallsNamed("ShowWindow").empty()) << c.what;
    EXPECT_TRUE(winsim::DrawnTexts().empty()) << c.what;
  }
}

// ---- Painting -----------------------------------------------------------------------------------

TEST_F(StatusWindow, PaintsTheLineCentredOnOneLineOverTheWhiteBackground) {
  HWND handle = Create();
  snprintf(StatusLine, sizeof StatusLine, "%s", "Entferne & pr\xFC" "fe");
  InvalidateRect(handle, nullptr, TRUE);
  winsim::ClearCalls();
  EXPECT_EQ(0, winsim::SendToWindow(handle, WM_PAINT));

  ASSERT_EQ(2u, winsim::DrawnTexts().size());
  const winsim::DrawnText& drawn = winsim::DrawnTexts()[1];
  EXPECT_EQ("Entferne & pr\xFC" "fe", drawn.text);
  EXPECT_EQ(0x25u, drawn.format);  // single line, centred both ways; & stays a prefix
  EXPECT_EQ(TRANSPARENT, drawn.backgroundMode);
  EXPECT_TRUE(drawn.inPaint);
  ExpectSameRect(Client(handle), drawn.rect, "the whole client area");
  EXPECT_EQ(2u, winsim::Erasures().size());  // the class brush, through the default handling
  EXPECT_EQ(0, winsim::LiveWindowDeviceContexts());
  EXPECT_TRUE(winsim::CallsNamed("SelectPalette").empty());
}

TEST_F(StatusWindow, ResizingRepaintsTheWholeWindowCentred) {
  HWND handle = Create();
  winsim::ResizeWindow(handle, 900, 300);
  UpdateWindow(handle);
  ASSERT_EQ(2u, winsim::DrawnTexts().size());
  ExpectSameRect(Client(handle), winsim::DrawnTexts()[1].rect, "the new client area");
  EXPECT_EQ(2u, winsim::Erasures().size());
}

// ---- SetStatusText ------------------------------------------------------------------------------

TEST_F(StatusWindow, SetStatusTextRepaintsBeforeItReturnsThenShowsTheWaitCursor) {
  HWND handle = Create();
  winsim::ClearCalls();
  SetStatusText("L\xF6sche %s ...", "C:\\Windows\\system32\\Quillmap.DLL");

  EXPECT_STREQ("L\xF6sche C:\\Windows\\system32\\Quillmap.DLL ...", StatusLine);
  ASSERT_EQ(2u, winsim::DrawnTexts().size());
  EXPECT_EQ(std::string(StatusLine), winsim::DrawnTexts()[1].text);
  EXPECT_EQ(2u, winsim::Erasures().size());
  EXPECT_FALSE(Record(handle).invalid);

  std::vector<std::string> expected = {"InvalidateRect", "UpdateWindow", "BeginPaint",  "DefWindowProcA",
                                       "SetBkMode",      "DrawTextA",    "EndPaint",    "SetCursor"};
  EXPECT_EQ(expected, CallNames());
  EXPECT_EQ("InvalidateRect(" + HandleText(handle) + ", NULL, 1)", winsim::Calls()[0]);
  EXPECT_EQ(BusyCursor, CurrentCursor);
  EXPECT_EQ(BusyCursor, winsim::CurrentCursor());
}

TEST_F(StatusWindow, SetStatusTextWithoutWindowOnlySetsTheLineAndCursor) {
  SetStatusText("Kopiere %s ...", "Uninstall_Quillmap.exe");
  EXPECT_STREQ("Kopiere Uninstall_Quillmap.exe ...", StatusLine);
  EXPECT_EQ(std::vector<std::string>{"SetCursor"}, CallNames());
  EXPECT_EQ(BusyCursor, CurrentCursor);
  EXPECT_EQ(BusyCursor, winsim::CurrentCursor());
}

TEST_F(StatusWindow, AStatusTextBeyond500CharactersIsCut) {
  std::string path = "C:\\" + std::string(700, 'p');
  SetStatusText("L\xF6sche %s ...", path.c_str());
  EXPECT_EQ(("L\xF6sche " + path).substr(0, 500), std::string(StatusLine));
}

// ---- Window procedure ---------------------------------------------------------------------------

TEST_F(StatusWindow, MouseMoveShowsTheCurrentCursor) {
  HWND handle = Create();
  EXPECT_EQ(0, winsim::SendToWindow(handle, WM_MOUSEMOVE, 0, 0x00100010));
  EXPECT_EQ(winsim::SystemCursor(32650), winsim::CurrentCursor()) << "before the first status text";
  SetStatusText("Arbeite ...");
  SetCursor(nullptr);
  EXPECT_EQ(0, winsim::SendToWindow(handle, WM_MOUSEMOVE, 0, 0x00100010));
  EXPECT_EQ(winsim::SystemCursor(32514), winsim::CurrentCursor()) << "after it";
}

TEST_F(StatusWindow, ClosingTheWindowRunsShutdownOnce) {
  DisplayDC = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  HWND handle = Create();
  winsim::SendToWindow(handle, WM_CLOSE);  // the close box: the default handling destroys it
  EXPECT_TRUE(Record(handle).destroyed);
  EXPECT_TRUE(ShutdownDone);
  EXPECT_EQ(0, winsim::LiveDeviceContexts());
  EXPECT_EQ(handle, StatusWindowHandle);
  ShutdownApp();
  EXPECT_EQ(1u, winsim::CallsNamed("DeleteDC").size());
}

TEST_F(StatusWindow, DestroyReturnsZero) {
  HWND handle = Create();
  EXPECT_EQ(0, winsim::SendToWindow(handle, WM_DESTROY));
  EXPECT_TRUE(ShutdownDone);
}

TEST_F(StatusWindow, OtherMessagesGetTheDefaultHandling) {
  HWND handle = Create();
  winsim::ClearCalls();
  HDC dc = GetDC(handle);
  EXPECT_EQ(1, winsim::SendToWindow(handle, WM_ERASEBKGND, (WPARAM)dc));
  EXPECT_EQ(0, winsim::SendToWindow(handle, WM_SETCURSOR, (WPARAM)handle, 1));
  ReleaseDC(handle, dc);
  std::vector<std::string> defaults = winsim::CallsNamed("DefWindowProcA");
  std::string window = HandleText(handle);
  EXPECT_EQ((std::vector<std::string>{"DefWindowProcA(" + window + ", 0x0014)",
                                      "DefWindowProcA(" + window + ", 0x0020)"}),
            defaults);
  EXPECT_EQ(2u, winsim::Erasures().size());
}

struct PaletteCase {
  const char* what;
  bool usePalette;
  bool hasPalette;
  UINT message;
  bool fromItself;  // WM_PALETTECHANGED caused by the status window
  LRESULT result;
  std::vector<std::string> calls;  // names of the calls, in order
};

class PaletteMessages : public StatusWindow, public ::testing::WithParamInterface<PaletteCase> {};

TEST_P(PaletteMessages, RealizeTheProgramsPaletteOnlyWhenItIsUsed) {
  const PaletteCase& c = GetParam();
  HWND handle = Create();
  UsePalette = c.usePalette;
  AppPalette = c.hasPalette ? SomePalette : nullptr;
  winsim::ClearCalls();
  HWND other = (HWND)(uintptr_t)0x9990;
  WPARAM changer = (WPARAM)(c.fromItself ? handle : other);

  EXPECT_EQ(c.result, winsim::SendToWindow(handle, c.message, c.message == WM_PALETTECHANGED ? changer : 0));
  EXPECT_EQ(c.calls, CallNames());
  std::string window = HandleText(handle);
  for (const std::string& line : winsim::Calls()) {
    if (line.rfind("SelectPalette(", 0) == 0) {
      EXPECT_NE(std::string::npos, line.find(", " + HandleText(SomePalette) + ", 0)"))
          << line << ": the program's palette in the foreground";
    }
    if (line.rfind("InvalidateRect(", 0) == 0) {
      EXPECT_EQ("InvalidateRect(" + window + ", NULL, 1)", line) << "the whole window with erasing";
    }
    if (line.rfind("DefWindowProcA(", 0) == 0) {
      EXPECT_EQ("DefWindowProcA(" + window + ", 0x0311)", line);
    }
  }
  EXPECT_EQ(0, winsim::LiveWindowDeviceContexts()) << "the window's device context is released";
}

const std::vector<std::string> Realize = {"GetDC", "SelectPalette", "RealizePalette", "InvalidateRect",
                                          "ReleaseDC"};
const std::vector<std::string> RealizeAndDefault = {"GetDC",          "SelectPalette", "RealizePalette",
                                                    "UpdateColors",   "InvalidateRect", "ReleaseDC",
                                                    "DefWindowProcA"};
const std::vector<std::string> DefaultOnly = {"DefWindowProcA"};

INSTANTIATE_TEST_SUITE_P(
    Palette, PaletteMessages,
    ::testing::Values(
        PaletteCase{"query at 8 bits", true, true, WM_QUERYNEWPALETTE, false, 1, Realize},
        PaletteCase{"query at 32 bits", false, false, WM_QUERYNEWPALETTE, false, 0, {}},
        PaletteCase{"query at 8 bits without palette", true, false, WM_QUERYNEWPALETTE, false, 0, {}},
        PaletteCase{"changed by another window at 8 bits", true, true, WM_PALETTECHANGED, false, 0,
                    RealizeAndDefault},
        PaletteCase{"changed by the status window itself", true, true, WM_PALETTECHANGED, true, 0,
                    DefaultOnly},
        PaletteCase{"changed at 32 bits", false, false, WM_PALETTECHANGED, false, 0, DefaultOnly},
        PaletteCase{"changed at 8 bits without palette", true, false, WM_PALETTECHANGED, false, 0,
                    DefaultOnly}),
    CaseName<::testing::TestParamInfo<PaletteCase>>);

TEST_F(StatusWindow, ARealizedPaletteLeadsToAFullRepaint) {
  HWND handle = Create();
  UsePalette = true;
  AppPalette = SomePalette;
  winsim::SendToWindow(handle, WM_QUERYNEWPALETTE);
  EXPECT_TRUE(Record(handle).invalid);
  EXPECT_TRUE(Record(handle).erasePending);
  UpdateWindow(handle);
  EXPECT_EQ(2u, winsim::DrawnTexts().size());
  EXPECT_EQ(2u, winsim::Erasures().size());
}

}  // namespace
