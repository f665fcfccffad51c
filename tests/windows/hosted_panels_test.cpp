// The CLAP panel and the VST 3 view as Windows hosts embed them (run under Wine and Xvfb),
// loaded through our CLAP and VST 3 test hosts into a window of this test: the CLAP panel
// idled on the host's timer, the VST 3 view on a thread timer of its own while the test pumps
// messages as a host's UI thread does. What the user sees is read back from the panel's window
// and compared with vorlak-snapshot's pictures; closing takes the window away.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "formats/vst3/parameter_ids.h"
#include "tests/clap/clap_host.h"
#include "tests/vst3/vst3_host.h"
#include "tests/windows/win32_screen.h"

namespace {

using namespace vorlak;
using vorlak::claptest::ClapInstance;
using vorlak::claptest::ClapModule;
using namespace vorlak::wintest;

constexpr int kWidth = 396, kHeight = 530;
constexpr char kHostClass[] = "VorlakClapTestHost";

// vorlak-snapshot's raw picture of a program.
Pixels reference(int program = 0) {
  return rawPicture(VORLAK_PANEL_REFERENCES "/panel-" + std::to_string(program) + ".raw",
                    static_cast<size_t>(kWidth * kHeight));
}

TEST(ClapWin32Panel, ShowsWhatTheSnapshotToolDrawsAndGivesBackItsTimer) {
  HWND parent = hostWindow(kHostClass, kWidth, kHeight);
  ASSERT_NE(parent, nullptr);
  pump();

  std::string error;
  auto module = ClapModule::load(VORLAK_CLAP_PATH, &error);
  ASSERT_NE(module, nullptr) << error;
  auto instance = ClapInstance::create(*module, &error);
  ASSERT_NE(instance, nullptr) << error;
  const clap::Plugin* plugin = &instance->plugin();
  const auto* gui = instance->extension<clap::PluginGui>(clap::kExtGui);
  const auto* timers = instance->extension<clap::PluginTimerSupport>(clap::kExtTimerSupport);
  ASSERT_TRUE(gui && timers);
  // Windows has no display descriptor to wait on.
  EXPECT_EQ(instance->extension<void>(clap::kExtPosixFdSupport), nullptr);
  const char* api = nullptr;
  bool floating = true;
  ASSERT_TRUE(gui->getPreferredApi(plugin, &api, &floating));
  EXPECT_STREQ(api, clap::kWindowApiWin32);
  EXPECT_FALSE(gui->create(plugin, clap::kWindowApiX11, false));
  ASSERT_TRUE(gui->create(plugin, clap::kWindowApiWin32, false));
  ASSERT_TRUE(gui->setScale(plugin, 1.0));
  uint32_t width = 0, height = 0;
  ASSERT_TRUE(gui->getSize(plugin, &width, &height));
  EXPECT_EQ(width, 396u);
  EXPECT_EQ(height, 530u);
  clap::Window window{clap::kWindowApiWin32, {}};
  window.win32 = parent;
  ASSERT_TRUE(gui->setParent(plugin, &window));
  ASSERT_EQ(instance->log().timers.size(), 1u);
  const clap::Id timer = *instance->log().timers.begin();
  for (int i = 0; i < 60; ++i) {
    pump();
    timers->onTimer(plugin, timer);
    Sleep(5);
  }
  HWND panel = GetWindow(parent, GW_CHILD);
  ASSERT_NE(panel, nullptr);
  const Pixels expected = reference();
  ASSERT_FALSE(expected.empty()) << "no picture of vorlak-snapshot in " VORLAK_PANEL_REFERENCES;
  EXPECT_EQ(differing(shoot(panel, kWidth, kHeight), expected), 0);

  gui->destroy(plugin);
  pump();
  EXPECT_TRUE(instance->log().timers.empty());
  EXPECT_FALSE(IsWindow(panel));
  DestroyWindow(parent);
}

// The view follows a program picked in the host and tells the host of it from its timer only.
TEST(Vst3Win32Panel, ShowsWhatTheSnapshotToolDrawsAndFollowsTheHostsProgram) {
  HWND parent = hostWindow("VorlakVst3TestHost", kWidth, kHeight);
  std::string error;
  auto module = vst3host::Module::load(vst3host::bundleModule(VORLAK_VST3_BUNDLE), &error);
  auto instance = module ? vst3host::Instance::create(module, &error) : nullptr;
  ASSERT_NE(instance, nullptr) << error;
  vst3::PlugView* view = instance->controller->createView("editor");
  ASSERT_TRUE(view && view->attached(parent, vst3::kPlatformHwnd) == vst3::kResultOk);
  const auto shownAfter300Ms = [&] {
    for (int t = 0; t < 300; t += 5, Sleep(5)) pump();
    return shoot(GetWindow(parent, GW_CHILD), kWidth, kHeight);
  };
  ASSERT_FALSE(reference(0).empty() || reference(37).empty());
  EXPECT_EQ(differing(shownAfter300Ms(), reference(0)), 0);
  instance->handler.calls.clear();
  instance->controller->setParamNormalized(vst3::kProgramId, 37 / vst3::kProgramSteps);
  EXPECT_TRUE(instance->handler.calls.empty());
  EXPECT_EQ(differing(shownAfter300Ms(), reference(37)), 0);
  EXPECT_EQ(instance->handler.calls, std::vector<std::string>{"r4"});

  HWND panel = GetWindow(parent, GW_CHILD);
  view->removed();
  pump();
  EXPECT_FALSE(IsWindow(panel));
  view->release();
  DestroyWindow(parent);
}

}  // namespace
