// The panel as a host shows it (run under xvfb-run): vorlak.so is loaded through the host
// library, its editor opened in a top-level window of this test, and a user plays it with
// real pointer events from the XTest extension. What the host hears is the recorded
// automation; what the user sees is read back from the editor's window.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tools/vst_host.h"
// Last: Xlib defines macros (None, Bool) that clash with GoogleTest.
#include <X11/Xatom.h>

#include "host_edits.h"
#include "x11_support.h"

namespace {

using namespace vorlak::x11test;
using vorlak::paneltest::expectOneBracketedEdit;
using vorlak::host::HostCall;
using vorlak::host::Plugin;

constexpr int kWidth = 396, kHeight = 530;

// The window's pixels, 0x00RRGGBB.
struct Screenshot {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
  // Pixels of the rectangle, row by row.
  std::vector<uint32_t> area(int left, int top, int right, int bottom) const {
    std::vector<uint32_t> out;
    if (pixels.empty()) return out;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) out.push_back(at(x, y));
    return out;
  }
};

class PanelX11Test : public X11Suite {
 protected:
  void SetUp() override {
    X11Suite::SetUp();
    if (HasFatalFailure()) return;
    std::string message;
    plugin = Plugin::load(VORLAK_MODULE_PATH, &message);
    ASSERT_NE(plugin, nullptr) << message;
    plugin->start(44100.0f, 512);

    parent = makeTopLevel();
    openEditor();
  }
  void TearDown() override {
    if (plugin && !plugin->closed()) {
      plugin->dispatch(effEditClose);
      plugin->close();
    }
    if (host && parent) XDestroyWindow(host, parent);
    if (host) XSync(host, False);
  }

  void openEditor() {
    ASSERT_EQ(plugin->dispatch(effEditOpen, 0, 0, handle(parent)), 1);
    XSync(host, False);
    const std::vector<Window> kids = children(host, parent);
    ASSERT_EQ(kids.size(), 1u);
    panel = kids[0];
    idleFor(300);  // the first expose
  }

  void idleFor(int ms) {
    idleEvery5Ms([this] { plugin->dispatch(effEditIdle); }, ms);
  }
  template <class Condition>
  bool idleUntil(Condition done) {
    return idleEvery5MsUntil([this] { plugin->dispatch(effEditIdle); }, done);
  }

  // A quick click: press and release are both queued before the editor looks.
  void click(int x, int y) {
    moveTo(host, x, y);
    button(host, true);
    button(host, false);
    idleFor(150);
  }

  Screenshot shoot() {
    Screenshot shot;
    shot.pixels = windowPixels(host, panel, 0, 0, kWidth, kHeight);
    if (shot.pixels.empty()) return shot;
    shot.width = kWidth;
    shot.height = kHeight;
    return shot;
  }

  Window makeTopLevel() {
    return vorlak::x11test::makeTopLevel(host, kParentX, kParentY, kWidth, kHeight);
  }
  size_t childCount(Window w) {
    XSync(host, False);
    return children(host, w).size();
  }

  std::vector<HostCall> calls(VstInt32 opcode) const {
    std::vector<HostCall> out;
    for (const HostCall& c : plugin->host().calls)
      if (c.opcode == opcode) out.push_back(c);
    return out;
  }
  // Automations as (index, value) since the last clear.
  std::vector<std::pair<VstInt32, float>> automations() const {
    std::vector<std::pair<VstInt32, float>> out;
    for (const HostCall& c : calls(audioMasterAutomate)) out.emplace_back(c.index, c.opt);
    return out;
  }

  std::unique_ptr<Plugin> plugin;
  Window parent = 0;
  Window panel = 0;
};

TEST_F(PanelX11Test, ToneDragAutomatesInsideItsEditBrackets) {
  const float before = plugin->parameter(3);
  const Screenshot still = shoot();
  plugin->host().clearCalls();
  User user(dragToneRight40);
  ASSERT_TRUE(idleUntil([&] { return user.done(); }));
  idleFor(150);

  // 40 pixels right: a fifth of the range at half the range per 100 pixels.
  expectOneBracketedEdit(plugin->host().calls, 3, before + 0.2f);
  EXPECT_NEAR(plugin->parameter(3), before + 0.2f, 1e-5f);
  EXPECT_NE(shoot().area(126, 244, 164, 282), still.area(126, 244, 164, 282));
}

TEST_F(PanelX11Test, ClicksOnAmplifierLatchAndEffectStepsAutomateAndShow) {
  const int amplifier = static_cast<int>(plugin->parameter(12) * 3.99f);
  const int other = amplifier == 2 ? 3 : 2;
  auto lamp = [](const Screenshot& s, int choice) {
    return s.area(20, 348 + 12 * choice, 30, 358 + 12 * choice);
  };
  const Screenshot before = shoot();
  ASSERT_NE(lamp(before, amplifier), lamp(before, other));
  const float latch = plugin->parameter(26);
  plugin->setParameter(20, 0.0f);  // "Dry"
  idleFor(100);
  plugin->host().clearCalls();

  click(45, 348 + 12 * other + 5);
  click(367, 20);
  click(286, 511);  // effect one step up
  click(286, 511);
  click(286, 497);  // and one down

  const std::vector<std::pair<VstInt32, float>> expected = {
      {12, static_cast<float>(other) * 0.33333334f},
      {26, latch > 0.5f ? 0.0f : 1.0f},
      {20, 0.06666667f},
      {20, 2 * 0.06666667f},
      {20, 0.06666667f}};
  EXPECT_EQ(automations(), expected);
  // The lamps swapped pictures: the chosen one lit, the old one dark.
  const Screenshot after = shoot();
  EXPECT_EQ(lamp(after, other), lamp(before, amplifier));
  EXPECT_EQ(lamp(after, amplifier), lamp(before, other));
  EXPECT_NE(after.area(349, 3, 385, 41), before.area(349, 3, 385, 41));
  EXPECT_EQ(plugin->parameterDisplay(20), "AMP:Phaser");
}

TEST_F(PanelX11Test, EffectChosenFromItsPopupList) {
  plugin->setParameter(20, 0.0f);
  idleFor(100);
  const Screenshot before = shoot();
  plugin->host().clearCalls();
  moveTo(host, 180, 503);
  button(host, true);
  button(host, false);
  // The menu is an override-redirect window on the root with one row per effect.
  User user([](Display* d) {
    const XWindowAttributes menu = waitForMenu(d);
    if (!menu.override_redirect) return;
    const int row = (menu.height - 2) / 16;
    const int screen = DefaultScreen(d);
    XTestFakeMotionEvent(d, screen, menu.x + 20, menu.y + 1 + row / 2, CurrentTime);
    XTestFakeMotionEvent(d, screen, menu.x + 20, menu.y + 1 + 9 * row + row / 2, CurrentTime);
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    XSync(d, False);
  });
  ASSERT_TRUE(idleUntil([&] { return user.done() && !automations().empty(); }));
  idleFor(150);
  EXPECT_EQ(automations(), (std::vector<std::pair<VstInt32, float>>{{20, 9 * 0.06666667f}}));
  EXPECT_EQ(plugin->parameterDisplay(20), "MST:Chorus");
  EXPECT_NE(shoot().area(113, 499, 256, 507), before.area(113, 499, 256, 507));
}

// Each program change, plain or under a host's menu that closes at the same time, shows at
// the next idle as exactly the picture a panel built afresh for that program draws.
TEST_F(PanelX11Test, HostProgramChangeShowsAtTheNextIdleEvenUnderAClosingMenu) {
  const int screen = DefaultScreen(host);
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  attributes.background_pixel = BlackPixel(host, screen);
  // Where a host's preset menu drops over the panel: x 114 to 315.
  const Window menu = XCreateWindow(host, RootWindow(host, screen), kParentX + 114, kParentY + 40,
                                    201, 480, 0, CopyFromParent, InputOutput, CopyFromParent,
                                    CWOverrideRedirect | CWBackPixel, &attributes);
  struct Pick {
    int program;
    bool underMenu;
  };
  for (const Pick pick : {Pick{5, false}, Pick{42, true}, Pick{5, true}, Pick{21, true},
                          Pick{0, true}, Pick{63, true}}) {
    SCOPED_TRACE("program " + std::to_string(pick.program));
    const Screenshot before = shoot();
    if (pick.underMenu) {
      XMapRaised(host, menu);
      XSync(host, False);
      idleFor(50);
    }
    plugin->setProgram(pick.program);
    if (pick.underMenu) {
      XUnmapWindow(host, menu);
      XSync(host, False);  // the panel's expose is queued before its next idle
    }
    idleFor(100);
    const Screenshot updated = shoot();
    EXPECT_NE(updated.pixels, before.pixels);
    plugin->dispatch(effEditClose);
    openEditor();
    const Screenshot fresh = shoot();
    ASSERT_EQ(fresh.pixels.size(), updated.pixels.size());
    int differing = 0;
    for (size_t i = 0; i < fresh.pixels.size(); ++i)
      differing += fresh.pixels[i] != updated.pixels[i];
    EXPECT_EQ(differing, 0);
  }
  XDestroyWindow(host, menu);
  XSync(host, False);
}

TEST_F(PanelX11Test, HostCallOrdersLeaveNoErrorWindowOrConnectionBehind) {
  const Screenshot first = shoot();
  plugin->dispatch(effEditClose);
  XErrorHandler hostHandler = XSetErrorHandler(countHostError);
  hostErrors = 0;
  const int files = openFileCount();

  // Hosts size their window before the panel exists, and idle whether it is open or not.
  plugin->dispatch(effEditIdle);
  ERect* rect = nullptr;
  ASSERT_EQ(plugin->dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right - rect->left, kWidth);
  EXPECT_EQ(rect->bottom - rect->top, kHeight);

  for (int i = 0; i < 50; ++i) {
    ASSERT_EQ(plugin->dispatch(effEditOpen, 0, 0, handle(parent)), 1);
    plugin->dispatch(effEditIdle);
    plugin->dispatch(effEditClose);
    plugin->dispatch(effEditIdle);
  }
  EXPECT_EQ(childCount(parent), 0u);

  // Opened twice, the panel is there once; closed twice, it is gone.
  plugin->dispatch(effEditOpen, 0, 0, handle(parent));
  plugin->dispatch(effEditOpen, 0, 0, handle(parent));
  plugin->dispatch(effEditIdle);
  EXPECT_EQ(childCount(parent), 1u);
  plugin->dispatch(effEditClose);
  plugin->dispatch(effEditClose);
  plugin->dispatch(effEditIdle);
  EXPECT_EQ(childCount(parent), 0u);

  // Ardour's order: close, then destroy the window the panel lived in.
  Window other = makeTopLevel();
  plugin->dispatch(effEditOpen, 0, 0, handle(other));
  idleFor(50);
  plugin->dispatch(effEditClose);
  XDestroyWindow(host, other);
  XSync(host, False);
  idleFor(50);

  EXPECT_EQ(hostErrors, 0);
  EXPECT_EQ(openFileCount(), files);
  EXPECT_EQ(XSetErrorHandler(hostHandler), countHostError);

  // And the panel still opens and draws as it did at first.
  openEditor();
  const Screenshot again = shoot();
  ASSERT_FALSE(again.pixels.empty());
  EXPECT_EQ(again.pixels, first.pixels);
}

// A desktop at 192 dpi (Xft.dpi on the root window, as desktops set it): the host sizes its
// window from the rectangle before opening, and the window shows exactly the picture
// vorlak-snapshot draws at scale 2.
TEST_F(PanelX11Test, DesktopAt192DpiShowsThePanelAtTwiceItsSize) {
  plugin->dispatch(effEditClose);
  const Window root = DefaultRootWindow(host);
  struct Resources {
    Display* display;
    Window root;
    ~Resources() {
      XDeleteProperty(display, root, XA_RESOURCE_MANAGER);
      XSync(display, False);
    }
  } restore{host, root};
  const char dpi[] = "Xft.antialias:\t1\nXft.dpi:\t192\n";
  XChangeProperty(host, root, XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(dpi), sizeof dpi - 1);
  XSync(host, False);

  ERect* rect = nullptr;
  ASSERT_EQ(plugin->dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right - rect->left, 792);
  EXPECT_EQ(rect->bottom - rect->top, 1060);
  const Window big = vorlak::x11test::makeTopLevel(host, kParentX, kParentY, 792, 1060);
  ASSERT_EQ(plugin->dispatch(effEditOpen, 0, 0, handle(big)), 1);
  XSync(host, False);
  const std::vector<Window> kids = children(host, big);
  ASSERT_EQ(kids.size(), 1u);
  idleFor(300);
  rect = nullptr;
  ASSERT_EQ(plugin->dispatch(effEditGetRect, 0, 0, &rect), 1);
  EXPECT_EQ(rect->right - rect->left, 792);
  XWindowAttributes attributes{};
  XGetWindowAttributes(host, kids[0], &attributes);
  EXPECT_EQ(attributes.width, 792);
  EXPECT_EQ(attributes.height, 1060);
  const std::vector<uint32_t> shown = windowPixels(host, kids[0], 0, 0, 792, 1060);
  plugin->dispatch(effEditClose);
  XDestroyWindow(host, big);
  XSync(host, False);

  const std::string raw = ::testing::TempDir() + "vorlak-panel-2x.raw";
  const std::string command =
      std::string(VORLAK_SNAPSHOT_PATH) + " --scale 2 --raw -o '" + raw + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  std::vector<uint32_t> drawn(792 * 1060);
  FILE* file = std::fopen(raw.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  const size_t words = std::fread(drawn.data(), sizeof(uint32_t), drawn.size(), file);
  std::fclose(file);
  std::remove(raw.c_str());
  EXPECT_EQ(words, drawn.size());
  ASSERT_EQ(shown.size(), drawn.size());
  EXPECT_TRUE(shown == drawn);
}

}  // namespace
