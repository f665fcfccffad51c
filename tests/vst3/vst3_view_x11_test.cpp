// The view in a real X server (under xvfb-run), as a Linux VST 3 host embeds it: attached to
// the host's window, idled only by the timer and the X connection it registers with the host's
// run loop, a knob drag reaching the host inside begin, perform and end edit, the host's
// program changes shown as vorlak-snapshot draws them, and attached and removed again with no
// window, timer or connection left behind.
#include <poll.h>

#include <algorithm>
#include <memory>
#include <string>

#include "formats/vst3/parameter_ids.h"
#include "tests/vst3/vst3_host.h"
// Last, for Xlib's macros.
#include "tests/editor/x11_support.h"

namespace vorlak::vst3host {
namespace {

using namespace vorlak::x11test;

// The host's run loop as the frame hands it out: it keeps the registered timers, and the test
// fires them as the host's loop would.
class HostRunLoop final : public HostObject<RunLoop> {
 public:
  Result VST3_CALL registerEventHandler(EventHandler* handler, int fd) override {
    ++registrations;
    handlers.push_back({handler, fd});
    return kResultOk;
  }
  Result VST3_CALL unregisterEventHandler(EventHandler* handler) override {
    handlers.erase(std::remove_if(handlers.begin(), handlers.end(),
                                  [&](auto& entry) { return entry.first == handler; }),
                   handlers.end());
    return kResultOk;
  }
  Result VST3_CALL registerTimer(TimerHandler* handler, uint64_t) override {
    timers.push_back(handler);
    return kResultOk;
  }
  Result VST3_CALL unregisterTimer(TimerHandler* handler) override {
    timers.erase(std::remove(timers.begin(), timers.end(), handler), timers.end());
    return kResultOk;
  }
  // The timers, and the event handlers whose descriptor is readable.
  void fire() {
    for (TimerHandler* timer : std::vector<TimerHandler*>(timers)) timer->onTimer();
    for (auto [handler, fd] : std::vector<std::pair<EventHandler*, int>>(handlers)) {
      pollfd ready{fd, POLLIN, 0};
      if (poll(&ready, 1, 0) == 1) handler->onFdIsSet(fd);
    }
  }

  std::vector<TimerHandler*> timers;
  std::vector<std::pair<EventHandler*, int>> handlers;
  int registrations = 0;
};

class HostFrame final : public PlugFrame {
 public:
  Result VST3_CALL queryInterface(const char* iid, void** object) override {
    if (sameUid(iid, RunLoop::iid)) {
      *object = &runLoop;
      return kResultOk;
    }
    const bool ours = sameUid(iid, Unknown::iid) || sameUid(iid, PlugFrame::iid);
    *object = ours ? this : nullptr;
    return ours ? kResultOk : kNoInterface;
  }
  uint32_t VST3_CALL addRef() override { return 1; }
  uint32_t VST3_CALL release() override { return 1; }
  Result VST3_CALL resizeView(PlugView*, ViewRect* size) override {
    if (size) resized = *size;
    return kResultOk;
  }

  HostRunLoop runLoop;
  ViewRect resized{};
};

class Vst3ViewX11 : public X11Suite {
 protected:
  void SetUp() override {
    X11Suite::SetUp();
    std::string error;
    module = Module::load(bundleModule(VORLAK_VST3_BUNDLE), &error);
    ASSERT_NE(module, nullptr) << error;
    instance = Instance::create(module, &error);
    ASSERT_NE(instance, nullptr) << error;
    instance->start(44100.0, 256);
    parent = makeTopLevel(host, kParentX, kParentY, 396, 530);
  }
  void TearDown() override {
    instance.reset();
    if (parent) XDestroyWindow(host, parent);
    XSync(host, False);
  }

  std::shared_ptr<Module> module;
  std::unique_ptr<Instance> instance;
  Window parent = 0;
};

TEST_F(Vst3ViewX11, EmbedsIdlesOnTheHostsTimerAndEditsInsideBrackets) {
  PlugView* view = instance->controller->createView("editor");
  ASSERT_NE(view, nullptr);
  HostFrame frame;
  ASSERT_EQ(view->setFrame(&frame), kResultOk);
  ASSERT_EQ(view->attached(handle(parent), kPlatformX11), kResultOk);
  ASSERT_EQ(frame.runLoop.timers.size(), 1u);
  ASSERT_EQ(frame.runLoop.handlers.size(), 1u);
  EXPECT_GE(frame.runLoop.handlers[0].second, 0);
  ASSERT_EQ(children(host, parent).size(), 1u);

  const double before = instance->controller->getParamNormalized(3);
  instance->handler.calls.clear();
  User user(dragToneRight40);
  ASSERT_TRUE(idleEvery5MsUntil([&] { frame.runLoop.fire(); }, [&] { return user.done(); }));
  idleEvery5Ms([&] { frame.runLoop.fire(); }, 150);
  // Program 0's "Tone" (3), 40 pixels right: a fifth of the range, inside one bracket.
  const std::vector<std::string>& calls = instance->handler.calls;
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls.front(), "b3");
  EXPECT_EQ(calls.back(), "e3");
  for (size_t i = 1; i + 1 < calls.size(); ++i) EXPECT_EQ(calls[i].substr(0, 3), "p3=");
  EXPECT_NEAR(instance->controller->getParamNormalized(3), before + 0.2, 1e-5);

  // Rescaled while attached, the panel reopens on a display connection of its own: the host
  // resizes it and watches the new connection, registered anew.
  void* object = nullptr;
  ASSERT_EQ(view->queryInterface(ContentScaleSupport::iid.bytes, &object), kResultOk);
  auto* scaling = static_cast<ContentScaleSupport*>(object);
  const int registered = frame.runLoop.registrations;
  EXPECT_EQ(scaling->setContentScaleFactor(2.0f), kResultOk);
  EXPECT_EQ(frame.resized.right - frame.resized.left, 792);
  EXPECT_EQ(frame.resized.bottom - frame.resized.top, 1060);
  EXPECT_EQ(frame.runLoop.registrations, registered + 1);
  ASSERT_EQ(frame.runLoop.handlers.size(), 1u);
  scaling->release();

  ASSERT_EQ(view->removed(), kResultOk);
  EXPECT_TRUE(frame.runLoop.timers.empty());
  EXPECT_TRUE(frame.runLoop.handlers.empty());
  XSync(host, False);
  EXPECT_TRUE(children(host, parent).empty());

  // Attached and removed again and again, as hosts do when the window is shown and hidden.
  const int files = openFileCount();
  for (int round = 0; round < 20; ++round) {
    ASSERT_EQ(view->attached(handle(parent), kPlatformX11), kResultOk);
    frame.runLoop.fire();
    ASSERT_EQ(view->removed(), kResultOk);
  }
  XSync(host, False);
  EXPECT_TRUE(children(host, parent).empty());
  EXPECT_TRUE(frame.runLoop.timers.empty());
  EXPECT_EQ(openFileCount(), files);
  view->release();
}

// A program picked in the host's view, one the processor hears (a MIDI program change reaches
// a VST 3 plug-in as the program parameter) and a program's values set one by one show on the
// open panel as vorlak-snapshot draws them. Only the view's timer tells the host that a
// program changed all values, never its own call.
TEST_F(Vst3ViewX11, ShowsWhatTheHostChangesAndTellsItOfProgramsOnTheTimer) {
  PlugView* view = instance->controller->createView("editor");
  HostFrame frame;
  ASSERT_TRUE(view && view->setFrame(&frame) == kResultOk &&
              view->attached(handle(parent), kPlatformX11) == kResultOk);
  std::string error;
  auto copied = Instance::create(module, &error);
  ASSERT_NE(copied, nullptr) << error;
  copied->controller->setParamNormalized(kProgramId, 12 / kProgramSteps);
  for (int program : {37, 5, 12}) {
    instance->handler.calls.clear();
    if (program == 37) instance->controller->setParamNormalized(kProgramId, 37 / kProgramSteps);
    if (program == 5) instance->point(kProgramId, 0, 5 / kProgramSteps);
    instance->process(256);
    for (ParamId i = 0; program == 12 && i < kProgramId; ++i)
      instance->controller->setParamNormalized(i, copied->controller->getParamNormalized(i));
    EXPECT_TRUE(instance->handler.calls.empty()) << program;
    idleEvery5Ms([&] { frame.runLoop.fire(); }, 200);
    EXPECT_EQ(instance->handler.calls, std::vector<std::string>(program != 12, "r4")) << program;
    EXPECT_TRUE(windowPixels(host, children(host, parent).at(0), 0, 0, 396, 530) ==
                snapshot("-p " + std::to_string(program))) << program;
  }
  view->removed();
  view->release();
}

}  // namespace
}  // namespace vorlak::vst3host
