// The CLAP panel as a Windows host embeds it (run under Wine and Xvfb): vorlak.clap loaded
// through our CLAP test host, its panel set into a window of this test and idled on the host's
// timer. What the user sees is read back from the panel's window and compared with
// vorlak-snapshot's picture; closing gives the timer back and takes the window away.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/clap/clap_host.h"
#include "tests/windows/win32_screen.h"

namespace {

using namespace vorlak;
using vorlak::claptest::ClapInstance;
using vorlak::claptest::ClapModule;
using namespace vorlak::wintest;

constexpr int kWidth = 396, kHeight = 530;
constexpr char kHostClass[] = "VorlakClapTestHost";

// vorlak-snapshot's raw picture of program 0.
Pixels reference() {
  return rawPicture(VORLAK_PANEL_REFERENCES "/panel-0.raw", static_cast<size_t>(kWidth * kHeight));
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

}  // namespace
