// The CLAP panel as a host embeds it (run under xvfb-run): created in a top-level window of
// this test, idled on the host's timer and display descriptor, and played with real pointer
// events from the XTest extension. What the host receives is its event log; what the user
// sees is read back from the window and compared with vorlak-snapshot's pictures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/clap/clap_host.h"
// Last: Xlib defines macros (None, Bool) that clash with GoogleTest.
#include "tests/editor/x11_support.h"

namespace {

using namespace vorlak;
using namespace vorlak::x11test;
using vorlak::claptest::ClapInstance;
using vorlak::claptest::ClapModule;

class ClapGuiTest : public X11Suite {
 protected:
  void SetUp() override {
    X11Suite::SetUp();
    if (HasFatalFailure()) return;
    std::string error;
    module = ClapModule::load(VORLAK_CLAP_PATH, &error);
    ASSERT_NE(module, nullptr) << error;
    instance = ClapInstance::create(*module, &error);
    ASSERT_NE(instance, nullptr) << error;
    plugin = &instance->plugin();
    gui = instance->extension<clap::PluginGui>(clap::kExtGui);
    timers = instance->extension<clap::PluginTimerSupport>(clap::kExtTimerSupport);
    fds = instance->extension<clap::PluginPosixFdSupport>(clap::kExtPosixFdSupport);
    ASSERT_TRUE(gui && timers && fds);
    parent = makeTopLevel(host, kParentX, kParentY, 792, 1060);
  }
  void TearDown() override {
    instance.reset();
    if (host && parent) XDestroyWindow(host, parent);
    if (host) XSync(host, False);
  }

  // What a host's main loop does: the timer, and the descriptor when it is readable (here
  // every time; the panel reads only what is there).
  void idle() {
    for (clap::Id timer : instance->log().timers) timers->onTimer(plugin, timer);
    for (int fd : instance->log().descriptors) fds->onFd(plugin, fd, clap::kFdRead);
  }
  void idleFor(int ms) {
    idleEvery5Ms([this] { idle(); }, ms);
  }

  // The pixels of a rectangle of the panel, 0x00RRGGBB.
  std::vector<uint32_t> area(int left, int top, int right, int bottom) {
    const std::vector<Window> panels = children(host, parent);
    if (panels.size() != 1) return {};
    return windowPixels(host, panels[0], left, top, right, bottom);
  }

  std::unique_ptr<ClapModule> module;
  std::unique_ptr<ClapInstance> instance;
  const clap::Plugin* plugin = nullptr;
  const clap::PluginGui* gui = nullptr;
  const clap::PluginTimerSupport* timers = nullptr;
  const clap::PluginPosixFdSupport* fds = nullptr;
  Window parent = 0;
};

TEST_F(ClapGuiTest, EditsReachTheHostAsGesturesAndClosingGivesEverythingBack) {
  ASSERT_TRUE(gui->create(plugin, clap::kWindowApiX11, false));
  ASSERT_TRUE(gui->setScale(plugin, 1.0));
  uint32_t width = 0, height = 0;
  ASSERT_TRUE(gui->getSize(plugin, &width, &height));
  EXPECT_EQ(width, 396u);
  EXPECT_EQ(height, 530u);
  clap::Window window{clap::kWindowApiX11, {}};
  window.x11 = parent;
  ASSERT_TRUE(gui->setParent(plugin, &window));
  EXPECT_EQ(instance->log().timers.size(), 1u);
  EXPECT_EQ(instance->log().descriptors.size(), 1u);
  EXPECT_EQ(children(host, parent).size(), 1u);
  idleFor(300);  // the first expose
  // Exactly the pixels vorlak-snapshot draws for the program.
  const std::vector<uint32_t> program0 = snapshot("-p 0");
  ASSERT_EQ(program0.size(), 396u * 530u);
  EXPECT_TRUE(area(0, 0, 396, 530) == program0);

  // Tone dragged 40 pixels right: the host, not processing, is asked for a flush, and hears
  // the gesture with its values there.
  const auto* params = instance->extension<clap::PluginParams>(clap::kExtParams);
  double toneBefore = 0.0;
  params->getValue(plugin, 3, &toneBefore);
  User user(dragToneRight40);
  ASSERT_TRUE(idleEvery5MsUntil([this] { idle(); }, [&] { return user.done(); }));
  idleFor(150);
  EXPECT_GT(instance->log().flushRequests, 0);
  instance->flush();
  const auto& sent = instance->sent();
  ASSERT_GE(sent.size(), 3u);
  EXPECT_EQ(sent.front().type, clap::kParamGestureBegin);
  EXPECT_EQ(sent.back().type, clap::kParamGestureEnd);
  for (const auto& event : sent) EXPECT_EQ(event.param, 3u);
  double tone = 0.0;
  params->getValue(plugin, 3, &tone);
  EXPECT_NEAR(tone, toneBefore + 0.2, 1e-5);
  EXPECT_EQ(sent[sent.size() - 2].type, clap::kParamValue);
  EXPECT_EQ(sent[sent.size() - 2].value, tone);

  // The host sets Drive: the knob turns at the next timer, and nothing goes back.
  const std::vector<uint32_t> driveBefore = area(123, 338, 160, 374);
  instance->addParam(0, 13, 0.95);
  instance->flush();
  EXPECT_TRUE(instance->sent().empty());
  idleFor(100);
  EXPECT_NE(area(123, 338, 160, 374), driveBefore);

  // Twice the scale while open: the panel asks for twice the size and the host keeps waiting
  // on one descriptor, the new connection's.
  ASSERT_TRUE(gui->setScale(plugin, 2.0));
  idleFor(50);
  EXPECT_EQ(instance->log().resizedWidth, 792u);
  EXPECT_EQ(instance->log().resizedHeight, 1060u);
  ASSERT_TRUE(gui->getSize(plugin, &width, &height));
  EXPECT_EQ(width, 792u);
  EXPECT_EQ(height, 1060u);
  EXPECT_EQ(instance->log().descriptors.size(), 1u);
  EXPECT_EQ(instance->log().timers.size(), 1u);
  // The edited panel at twice the scale, as the snapshot draws it with the same two values.
  idleFor(300);
  char settings[128];
  std::snprintf(settings, sizeof settings, "--scale 2 --set Tone=%.9g --set Drive=%.9g",
                static_cast<double>(static_cast<float>(tone)), 0.95);
  const std::vector<uint32_t> edited = snapshot(settings);
  ASSERT_EQ(edited.size(), 792u * 1060u);
  EXPECT_TRUE(area(0, 0, 792, 1060) == edited);

  gui->destroy(plugin);
  EXPECT_TRUE(instance->log().timers.empty());
  EXPECT_TRUE(instance->log().descriptors.empty());
  XSync(host, False);
  EXPECT_TRUE(children(host, parent).empty());
}

}  // namespace
