// The VST 3 view as a Windows host embeds it (run under Wine and Xvfb): vorlak.vst3 loaded
// through our VST 3 test host and attached to a window of this test, idled by its own thread
// timer while the test pumps messages as a host's UI thread does. It shows what
// vorlak-snapshot draws, follows a program picked in the host, and tells the host of it only
// from that timer; removing it takes its window away.
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

Pixels panelAfter300Ms(HWND parent) {
  for (int t = 0; t < 300; t += 5, Sleep(5)) pump();
  return shoot(GetWindow(parent, GW_CHILD), 396, 530);
}

TEST(Vst3Win32Panel, ShowsWhatTheSnapshotToolDrawsAndFollowsTheHostsProgram) {
  HWND parent = hostWindow("VorlakVst3TestHost", 396, 530);
  std::string error;
  auto module = Module::load(bundleModule(VORLAK_VST3_BUNDLE), &error);
  auto instance = module ? Instance::create(module, &error) : nullptr;
  ASSERT_NE(instance, nullptr) << error;
  PlugView* view = instance->controller->createView("editor");
  ASSERT_TRUE(view && view->attached(parent, kPlatformHwnd) == kResultOk);
  const Pixels program0 = rawPicture(VORLAK_PANEL_REFERENCES "/panel-0.raw", 396 * 530);
  const Pixels program37 = rawPicture(VORLAK_PANEL_REFERENCES "/panel-37.raw", 396 * 530);
  ASSERT_FALSE(program0.empty() || program37.empty()) << "no pictures in " VORLAK_PANEL_REFERENCES;
  EXPECT_EQ(differing(panelAfter300Ms(parent), program0), 0);

  instance->handler.calls.clear();
  instance->controller->setParamNormalized(vorlak::vst3::kProgramId, 37 / 63.0);
  EXPECT_TRUE(instance->handler.calls.empty());
  EXPECT_EQ(differing(panelAfter300Ms(parent), program37), 0);
  EXPECT_EQ(instance->handler.calls, std::vector<std::string>{"r4"});

  HWND panel = GetWindow(parent, GW_CHILD);
  view->removed();
  pump();
  EXPECT_FALSE(IsWindow(panel));
  view->release();
  DestroyWindow(parent);
}

}  // namespace
