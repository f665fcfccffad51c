// The LV2 UI as a host shows it (run under xvfb-run): vorlak_ui.so loaded from the bundle, its
// descriptor instantiated into a top-level window of this test, and a user playing it with
// real pointer and key events from the XTest extension. What the host receives is the log of
// port writes and touch gestures; what the user sees is read back from the window.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "instrument/program.h"
// Last: Xlib defines macros (None, Bool) that clash with GoogleTest.
#include "tests/editor/x11_support.h"

namespace {

using namespace vorlak::x11test;

constexpr int kWidth = 396, kHeight = 530;
constexpr const char* kUri = "https://vorlak.kivo.audio/plugins/vorlak";

// What the UI told the host, in order: a write (value) or a touch (grabbed).
struct HostNote {
  bool touch;
  uint32_t port;
  float value;
  bool grabbed;
};

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

long residentKb() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

class Lv2UiTest : public X11Suite {
 protected:
  void SetUp() override {
    X11Suite::SetUp();
    if (HasFatalFailure()) return;
    library = dlopen(VORLAK_LV2_UI_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"));
    ASSERT_NE(entry, nullptr);
    descriptor = entry(0);
    ASSERT_NE(descriptor, nullptr);
    EXPECT_EQ(entry(1), nullptr);
    idle =
        static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
    ASSERT_NE(idle, nullptr);
    parent = makeTopLevel(host, kParentX, kParentY, kWidth, kHeight);
  }
  void TearDown() override {
    closeUi();
    if (host && parent) XDestroyWindow(host, parent);
    if (host) XSync(host, False);
    if (library) dlclose(library);
  }

  static void write(LV2UI_Controller self, uint32_t port, uint32_t size, uint32_t format,
                    const void* buffer) {
    float value = NAN;
    if (size == sizeof(float) && format == 0) value = *static_cast<const float*>(buffer);
    static_cast<Lv2UiTest*>(self)->notes.push_back({false, port, value, false});
  }
  static void touched(LV2UI_Feature_Handle self, uint32_t port, bool grabbed) {
    static_cast<Lv2UiTest*>(self)->notes.push_back({true, port, 0.0f, grabbed});
  }
  static int resized(LV2UI_Feature_Handle self, int width, int height) {
    static_cast<Lv2UiTest*>(self)->size = {width, height};
    return 0;
  }

  LV2UI_Handle openUi(Window into) {
    const LV2_Feature parentFeature{LV2_UI__parent, handle(into)};
    const LV2_Feature idleFeature{LV2_UI__idleInterface, nullptr};
    const LV2_Feature resizeFeature{LV2_UI__resize, &resize};
    const LV2_Feature touchFeature{LV2_UI__touch, &touch};
    const LV2_Feature* features[] = {&parentFeature, &idleFeature, &resizeFeature, &touchFeature,
                                     nullptr};
    return descriptor->instantiate(descriptor, kUri, VORLAK_LV2_BUNDLE, write, this, &widget,
                                   features);
  }
  void openPanel() {
    ui = openUi(parent);
    ASSERT_NE(ui, nullptr);
    idleFor(300);  // the first expose
  }
  void closeUi() {
    if (ui) descriptor->cleanup(ui);
    ui = nullptr;
  }

  void idleFor(int ms) {
    idleEvery5Ms([this] { idle->idle(ui); }, ms);
  }
  template <class Condition>
  bool idleUntil(Condition done) {
    return idleEvery5MsUntil([this] { idle->idle(ui); }, done);
  }

  size_t childCount() {
    XSync(host, False);
    return children(host, parent).size();
  }

  // The pixels of a rectangle of the panel, 0x00RRGGBB.
  std::vector<uint32_t> area(int left, int top, int right, int bottom) {
    const std::vector<Window> panels =
        children(host, static_cast<Window>(reinterpret_cast<uintptr_t>(widget)));
    if (panels.size() != 1) return {};
    return windowPixels(host, panels[0], left, top, right, bottom);
  }

  void* library = nullptr;
  const LV2UI_Descriptor* descriptor = nullptr;
  const LV2UI_Idle_Interface* idle = nullptr;
  LV2UI_Resize resize{this, resized};
  LV2UI_Touch touch{this, touched};
  Window parent = 0;
  LV2UI_Handle ui = nullptr;
  LV2UI_Widget widget = nullptr;
  std::vector<HostNote> notes;
  std::pair<int, int> size{0, 0};
};

TEST_F(Lv2UiTest, DragWritesItsPortInsideATouchAndPortEventsAndKeysShow) {
  openPanel();
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(size, std::make_pair(kWidth, kHeight));
  const std::vector<Window> kids = children(host, parent);
  ASSERT_EQ(kids.size(), 1u);
  EXPECT_EQ(kids[0], static_cast<Window>(reinterpret_cast<uintptr_t>(widget)));

  // Tone, dragged 40 pixels right with the real pointer.
  const float tone = vorlak::kFactoryPrograms[0].values[3];
  const std::vector<uint32_t> toneBefore = area(126, 244, 164, 282);
  User user(dragToneRight40);
  ASSERT_TRUE(idleUntil([&] { return user.done(); }));
  idleFor(150);
  ASSERT_GE(notes.size(), 3u);
  EXPECT_TRUE(notes.front().touch && notes.front().grabbed && notes.front().port == 3);
  EXPECT_TRUE(notes.back().touch && !notes.back().grabbed && notes.back().port == 3);
  for (size_t i = 1; i + 1 < notes.size(); ++i) {
    EXPECT_FALSE(notes[i].touch);
    EXPECT_EQ(notes[i].port, 3u);
  }
  EXPECT_NEAR(notes[notes.size() - 2].value, tone + 0.2f, 1e-5f);
  EXPECT_NE(area(126, 244, 164, 282), toneBefore);

  // The host reports Drive: its knob turns at the next idle, and nothing is written back.
  notes.clear();
  const std::vector<uint32_t> driveBefore = area(123, 338, 160, 374);
  const float drive = 0.95f;
  descriptor->port_event(ui, 13, sizeof drive, 0, &drive);
  idleFor(100);
  EXPECT_NE(area(123, 338, 160, 374), driveBefore);
  EXPECT_TRUE(notes.empty());
  // Port events the panel does not show are ignored: the atom port, other formats, NaN.
  const float nan = NAN;
  descriptor->port_event(ui, 13, sizeof nan, 0, &nan);
  descriptor->port_event(ui, 28, sizeof drive, 0, &drive);
  descriptor->port_event(ui, 13, sizeof drive, 99, &drive);
  descriptor->port_event(ui, 5000, sizeof drive, 0, &drive);
  const std::vector<uint32_t> driveShown = area(123, 338, 160, 374);
  idleFor(100);
  EXPECT_EQ(area(123, 338, 160, 374), driveShown);

  // The right arrow over the panel steps to program 1: its 28 values, each in a touch.
  moveTo(host, 200, 300);
  const KeyCode right = XKeysymToKeycode(host, XK_Right);
  XTestFakeKeyEvent(host, right, True, CurrentTime);
  XTestFakeKeyEvent(host, right, False, CurrentTime);
  XSync(host, False);
  ASSERT_TRUE(idleUntil([&] { return notes.size() >= 3u * vorlak::kNumParameters; }));
  ASSERT_EQ(notes.size(), 3u * vorlak::kNumParameters);
  for (int i = 0; i < vorlak::kNumParameters; ++i) {
    const HostNote* n = &notes[static_cast<size_t>(3 * i)];
    EXPECT_TRUE(n[0].touch && n[0].grabbed && n[0].port == static_cast<uint32_t>(i));
    EXPECT_TRUE(!n[1].touch && n[1].port == static_cast<uint32_t>(i));
    EXPECT_EQ(n[1].value, vorlak::kFactoryPrograms[1].values[i]);
    EXPECT_TRUE(n[2].touch && !n[2].grabbed && n[2].port == static_cast<uint32_t>(i));
  }
}

TEST_F(Lv2UiTest, FiftyOpensAndClosesLeaveNoWindowConnectionLeakOrError) {
  XErrorHandler hostHandler = XSetErrorHandler(countHostError);
  hostErrors = 0;
  // One round first, so that what the libraries keep for the process is already there.
  openPanel();
  ASSERT_FALSE(HasFatalFailure());
  closeUi();
  const int files = openFileCount();

  // Fifty rounds after the first twenty-five, in which the libraries settle their caches.
  long settled = 0;
  for (int i = 0; i < 75; ++i) {
    if (i == 25) settled = residentKb();
    ui = openUi(parent);
    ASSERT_NE(ui, nullptr);
    idleFor(10);
    closeUi();
  }
  EXPECT_EQ(childCount(), 0u);
  // The sanitizer build quarantines freed memory and checks for leaks itself at exit.
  if (!kSanitized) {
    EXPECT_LT(residentKb() - settled, 256);
  }

  // A host that destroys its window before the UI's cleanup, and idles the UI meanwhile.
  Window other = makeTopLevel(host, kParentX, kParentY, kWidth, kHeight);
  ui = openUi(other);
  ASSERT_NE(ui, nullptr);
  idleFor(50);
  XDestroyWindow(host, other);
  XSync(host, False);
  EXPECT_TRUE(idleUntil([&] { return idle->idle(ui) != 0; }));
  closeUi();

  // No parent at all: the UI refuses.
  const LV2_Feature* none[] = {nullptr};
  EXPECT_EQ(
      descriptor->instantiate(descriptor, kUri, VORLAK_LV2_BUNDLE, write, this, &widget, none),
      nullptr);

  EXPECT_EQ(hostErrors, 0);
  EXPECT_EQ(openFileCount(), files);
  EXPECT_EQ(XSetErrorHandler(hostHandler), countHostError);
}

// A host at twice the density says so through ui:scaleFactor: it is asked for the doubled
// size, both windows have it, and a click at device coordinates writes what it does at 1x;
// the factor set again later through the options interface rescales the running UI.
TEST_F(Lv2UiTest, ScaleFactorTwoOpensThePanelAtTwiceItsSize) {
  static std::vector<std::string> uris;
  LV2_URID_Map map{nullptr, [](LV2_URID_Map_Handle, const char* uri) -> LV2_URID {
                     for (size_t i = 0; i < uris.size(); ++i)
                       if (uris[i] == uri) return static_cast<LV2_URID>(i + 1);
                     uris.push_back(uri);
                     return static_cast<LV2_URID>(uris.size());
                   }};
  const float two = 2.0f;
  const LV2_Options_Option options[] = {
      {LV2_OPTIONS_INSTANCE, 0, map.map(nullptr, LV2_UI_PREFIX "scaleFactor"), sizeof two,
       map.map(nullptr, LV2_ATOM__Float), &two},
      {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
  const Window big = makeTopLevel(host, kParentX, kParentY, 2 * kWidth, 2 * kHeight);
  const LV2_Feature parentFeature{LV2_UI__parent, handle(big)};
  const LV2_Feature resizeFeature{LV2_UI__resize, &resize};
  const LV2_Feature mapFeature{LV2_URID__map, &map};
  const LV2_Feature optionsFeature{LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
  const LV2_Feature* features[] = {&parentFeature, &resizeFeature, &mapFeature, &optionsFeature,
                                   nullptr};
  ui = descriptor->instantiate(descriptor, kUri, VORLAK_LV2_BUNDLE, write, this, &widget, features);
  ASSERT_NE(ui, nullptr);
  idleFor(300);
  EXPECT_EQ(size, std::make_pair(2 * kWidth, 2 * kHeight));
  const auto window = static_cast<Window>(reinterpret_cast<uintptr_t>(widget));
  const std::vector<Window> panels = children(host, window);
  ASSERT_EQ(panels.size(), 1u);
  for (Window w : {window, panels[0]}) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(host, w, &attributes);
    EXPECT_EQ(attributes.width, 2 * kWidth);
    EXPECT_EQ(attributes.height, 2 * kHeight);
  }
  // The latch switch, at logical (367, 22): one write of its port, switched on.
  notes.clear();
  moveTo(host, 2 * 367, 2 * 22);
  button(host, true);
  button(host, false);
  idleFor(150);
  std::vector<uint32_t> written;
  for (const HostNote& n : notes)
    if (!n.touch) written.push_back(n.port);
  EXPECT_EQ(written, std::vector<uint32_t>{26});

  // The host changing the factor while the UI runs: the panel follows and asks for its size.
  const auto* interface = static_cast<const LV2_Options_Interface*>(
      descriptor->extension_data(LV2_OPTIONS__interface));
  ASSERT_NE(interface, nullptr);
  const float oneAndAHalf = 1.5f;
  const LV2_Options_Option change[] = {
      {LV2_OPTIONS_INSTANCE, 0, map.map(nullptr, LV2_UI_PREFIX "scaleFactor"), sizeof oneAndAHalf,
       map.map(nullptr, LV2_ATOM__Float), &oneAndAHalf},
      {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
  EXPECT_EQ(interface->set(ui, change), 0u);
  idleFor(100);
  EXPECT_EQ(size, std::make_pair(594, 795));
  const std::vector<Window> rebuilt = children(host, window);
  ASSERT_EQ(rebuilt.size(), 1u);
  for (Window w : {window, rebuilt[0]}) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(host, w, &attributes);
    EXPECT_EQ(attributes.width, 594);
    EXPECT_EQ(attributes.height, 795);
  }
  closeUi();
  XDestroyWindow(host, big);
  XSync(host, False);
}

}  // namespace
