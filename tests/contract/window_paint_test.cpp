// What the status window relies on about windows and painting, without a message loop:
// UpdateWindow paints an invalid window at once, erasing happens through the class brush in
// the default handling, and showing a window erases it without painting it.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "win32.h"

namespace {

struct Delivered {
  UINT message;
  LRESULT result;
  BOOL paintErase;  // WM_PAINT: the fErase that BeginPaint reported
};
std::vector<Delivered> Log;

// Paints like the status window; everything else goes to the default handling.
LRESULT CALLBACK LoggingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    Log.push_back(Delivered{message, 0, FALSE});
    size_t at = Log.size() - 1;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    Log[at].paintErase = paint.fErase;
    EXPECT_EQ(OPAQUE, SetBkMode(dc, TRANSPARENT)) << "a paint context starts opaque";
    EndPaint(window, &paint);
    return 0;
  }
  LRESULT result = DefWindowProcA(window, message, wParam, lParam);
  Log.push_back(Delivered{message, result, FALSE});
  return result;
}

std::vector<UINT> Messages() {
  std::vector<UINT> messages;
  for (const Delivered& d : Log) messages.push_back(d.message);
  return messages;
}

bool Received(UINT message) {
  std::vector<UINT> messages = Messages();
  return std::find(messages.begin(), messages.end(), message) != messages.end();
}

class WindowPaint : public ::testing::Test {
 protected:
  void SetUp() override {
    Register("ContractWhite", (HBRUSH)GetStockObject(WHITE_BRUSH));
    Register("ContractNoBrush", nullptr);
    Log.clear();
  }
  void TearDown() override {
    // The default handling of WM_CLOSE destroys the window.
    if (window != nullptr) DefWindowProcA(window, WM_CLOSE, 0, 0);
  }

  static void Register(const char* name, HBRUSH brush) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = LoggingProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hbrBackground = brush;
    windowClass.lpszClassName = name;
    RegisterClassExA(&windowClass);  // registered already by an earlier test on the platform
  }

  // A hidden window as the status window is created; skips the test where no window can be
  // made (no display).
  bool Create(const char* className = "ContractWhite") {
    window = CreateWindowExA(0, className, "Fenster", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                             720, 450, 480, 180, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    Log.clear();
    return window != nullptr;
  }

  void ShowAndUpdate() {
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    Log.clear();
  }

  HWND window = nullptr;
};

TEST_F(WindowPaint, AHiddenWindowIsNotPainted) {
  if (!Create()) GTEST_SKIP() << "no window could be created";
  UpdateWindow(window);
  EXPECT_TRUE(Log.empty());
}

TEST_F(WindowPaint, ShowingErasesAtOnceAndUpdatePaintsWithoutErasingAgain) {
  if (!Create()) GTEST_SKIP() << "no window could be created";
  ShowWindow(window, SW_SHOWNORMAL);
  EXPECT_TRUE(Received(WM_ERASEBKGND));
  EXPECT_FALSE(Received(WM_PAINT)) << "ShowWindow paints nothing itself";
  Log.clear();

  UpdateWindow(window);
  ASSERT_EQ(std::vector<UINT>{WM_PAINT}, Messages());
  EXPECT_FALSE(Log[0].paintErase);
}

TEST_F(WindowPaint, UpdateWindowPaintsAnInvalidatedWindowAtOnce) {
  if (!Create()) GTEST_SKIP() << "no window could be created";
  ShowAndUpdate();

  InvalidateRect(window, nullptr, TRUE);
  EXPECT_TRUE(Log.empty()) << "InvalidateRect only marks the window";
  UpdateWindow(window);
  // BeginPaint sends the erase, inside the WM_PAINT; the class brush makes it succeed.
  ASSERT_EQ((std::vector<UINT>{WM_PAINT, WM_ERASEBKGND}), Messages());
  EXPECT_NE(0, Log[1].result);
  EXPECT_FALSE(Log[0].paintErase);
  Log.clear();

  UpdateWindow(window);
  EXPECT_TRUE(Log.empty()) << "a valid window is not painted again";

  InvalidateRect(window, nullptr, FALSE);
  UpdateWindow(window);
  EXPECT_EQ(std::vector<UINT>{WM_PAINT}, Messages()) << "no erase when none was asked for";
}

TEST_F(WindowPaint, WithoutClassBrushTheEraseIsLeftToThePainter) {
  if (!Create("ContractNoBrush")) GTEST_SKIP() << "no window could be created";
  ShowAndUpdate();
  InvalidateRect(window, nullptr, TRUE);
  UpdateWindow(window);
  ASSERT_EQ((std::vector<UINT>{WM_PAINT, WM_ERASEBKGND}), Messages());
  EXPECT_EQ(0, Log[1].result);
  EXPECT_TRUE(Log[0].paintErase);
}

TEST_F(WindowPaint, TheClientAreaLiesInsideTheWindow) {
  if (!Create()) GTEST_SKIP() << "no window could be created";
  RECT client;
  ASSERT_TRUE(GetClientRect(window, &client));
  EXPECT_EQ(0, client.left);
  EXPECT_EQ(0, client.top);
  EXPECT_GT(client.right, 0);
  EXPECT_LT(client.right, 480);
  EXPECT_GT(client.bottom, 0);
  EXPECT_LT(client.bottom, 180);
}

TEST_F(WindowPaint, CloseDestroysTheWindowWithWmDestroy) {
  if (!Create()) GTEST_SKIP() << "no window could be created";
  EXPECT_EQ(0, DefWindowProcA(window, WM_CLOSE, 0, 0));
  window = nullptr;
  EXPECT_TRUE(Received(WM_DESTROY));
}

TEST(WindowClasses, ASecondRegistrationAndAnUnknownClassFail) {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "ContractTwice";
  EXPECT_NE(0, RegisterClassExA(&windowClass));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(0, RegisterClassExA(&windowClass));
  EXPECT_EQ((DWORD)ERROR_CLASS_ALREADY_EXISTS, GetLastError());

  SetLastError(0xdeadbeef);
  EXPECT_EQ(nullptr, CreateWindowExA(0, "ContractNoSuchClass", "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                     nullptr, nullptr, GetModuleHandleA(nullptr), nullptr));
  EXPECT_EQ((DWORD)ERROR_CLASS_DOES_NOT_EXIST, GetLastError());
}

TEST(StockObjects, SystemIconAndWhiteBrushExist) {
  EXPECT_NE(nullptr, LoadIconA(nullptr, IDI_APPLICATION));
  EXPECT_NE(nullptr, GetStockObject(WHITE_BRUSH));
}

}  // namespace
