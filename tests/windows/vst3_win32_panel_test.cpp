// The VST 3 view as a Windows host embeds it (run under Wine and Xvfb): vorlak.vst3 loaded
// through our VST 3 test host, its view attached to a window of this test and idled by its own
// thread timer while the test pumps messages, as a host's UI thread does. The panel shows what
// vorlak-snapshot draws, follows a program picked in the host, and the host hears of the
// change only from that timer; removing the view takes its window away.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "formats/vst3/parameter_ids.h"
#include "tests/vst3/vst3_host.h"
#include "tests/windows/win32_screen.h"

namespace {

using namespace vorlak::vst3host;
using namespace vorlak::wintest;

constexpr int kWidth = 396, kHeight = 530;

void pumpFor(int ms) {
  for (int t = 0; t < ms; t += 5) {
    pump();
    Sleep(5);
  }
}

TEST(Vst3Win32Panel, ShowsWhatTheSnapshotToolDrawsAndFollowsTheHostsProgram) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "VorlakVst3TestHost";
  RegisterClassA(&windowClass);
  HWND parent = CreateWindowExA(0, windowClass.lpszClassName, "Vorlak VST 3 host",
                                WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 100, 80, kWidth, kHeight,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(parent, nullptr);
  std::string error;
  auto module = Module::load(bundleModule(VORLAK_VST3_BUNDLE), &error);
  ASSERT_NE(module, nullptr) << error;
  auto instance = Instance::create(module, &error);
  ASSERT_NE(instance, nullptr) << error;
  PlugView* view = instance->controller->createView("editor");
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(view->attached(parent, kPlatformHwnd), kResultOk);
  pumpFor(300);
  HWND panel = GetWindow(parent, GW_CHILD);
  ASSERT_NE(panel, nullptr);
  const size_t size = static_cast<size_t>(kWidth * kHeight);
  const Pixels program0 = rawPicture(VORLAK_PANEL_REFERENCES "/panel-0.raw", size);
  const Pixels program37 = rawPicture(VORLAK_PANEL_REFERENCES "/panel-37.raw", size);
  ASSERT_FALSE(program0.empty() || program37.empty()) << "no pictures in " VORLAK_PANEL_REFERENCES;
  EXPECT_EQ(differing(shoot(panel, kWidth, kHeight), program0), 0);

  instance->handler.calls.clear();
  ASSERT_EQ(instance->controller->setParamNormalized(vorlak::vst3::kProgramId, 37 / 63.0), kResultOk);
  EXPECT_TRUE(instance->handler.calls.empty());
  pumpFor(300);
  EXPECT_EQ(instance->handler.calls, std::vector<std::string>{"r4"});
  EXPECT_EQ(differing(shoot(panel, kWidth, kHeight), program37), 0);

  EXPECT_EQ(view->removed(), kResultOk);
  pump();
  EXPECT_FALSE(IsWindow(panel));
  view->release();
  DestroyWindow(parent);
}

}  // namespace
