// The panel on the headless window system, opened once and kept: clicks anywhere with any
// button and modifiers, followed by a drag along any path before the button is let go, the
// wheel by any distance, keys with any code and modifiers, popup-menu answers, idles with
// the clock moving, and the host changing parameters and programs in between. Now and then
// the host closes and reopens the panel.
#include <vector>

#include "editor/editor.h"
#include "editor/platform/headless/headless_platform.h"
#include "fuzz/fuzz_host.h"

namespace vorlak::fuzz {
namespace {

HeadlessPlatform platform;
int parentWindow;

void openPanel(AEffect* e) {
  dispatch(e, effEditOpen, 0, 0, &parentWindow);
  if (HeadlessWindow* window = platform.window())
    window->queuePaint({0, 0, kPanelWidth, kPanelHeight});
  dispatch(e, effEditIdle);
}

class PanelInstance : public SharedInstance {
 public:
  using SharedInstance::SharedInstance;

 protected:
  void opened() override { openPanel(effect); }
};

PanelInstance shared(4096);

Point pickPoint(FuzzedDataProvider& in) {
  return {in.ConsumeIntegralInRange<int32_t>(-8, kPanelWidth + 8),
          in.ConsumeIntegralInRange<int32_t>(-8, kPanelHeight + 8)};
}

void click(AEffect* e, FuzzedDataProvider& in) {
  HeadlessWindow* window = platform.window();
  if (!window) return;
  static constexpr int kButtons[] = {kLeftButton, kLeftButton, kLeftButton, kRightButton,
                                     kMiddleButton};
  const int button = in.PickValueInArray(kButtons);
  const int modifiers = in.ConsumeIntegral<uint8_t>() & (kShift | kControl | kAlt);
  const Point at = pickPoint(in);
  std::vector<Point> path(in.ConsumeIntegralInRange<size_t>(0, 12));
  for (Point& p : path)
    p = in.ConsumeBool() ? pickPoint(in) : Point{at.x, at.y + in.ConsumeIntegralInRange(-200, 200)};
  const int held = in.ConsumeIntegralInRange(0, 40);
  const int changedModifiers = in.ConsumeIntegral<uint8_t>() & (kShift | kControl | kAlt);
  platform.pointer = at;
  platform.buttons = button | modifiers;
  platform.buttonQueries = 0;
  // Walks the path one step per query of the buttons, switches modifiers halfway, and lets
  // go after `held` queries.
  platform.script = [&](int query) {
    if (!path.empty())
      platform.pointer = path[std::min(static_cast<size_t>(query), path.size() - 1)];
    if (query == held / 2) platform.buttons = button | changedModifiers;
    if (query >= held) platform.buttons = 0;
  };
  window->queueButtonDown(at, button);
  dispatch(e, effEditIdle);
  platform.script = nullptr;
  platform.buttons = 0;
}

}  // namespace
}  // namespace vorlak::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vorlak::setPlatform(&vorlak::fuzz::platform);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vorlak;
  using namespace vorlak::fuzz;
  FuzzedDataProvider in(data, size);
  shared.beginInput(data, size);
  for (int step = 0; step < 32 && in.remaining_bytes() > 0; ++step) {
    AEffect* e = shared.get();
    switch (in.ConsumeIntegralInRange(0, 15)) {
      case 0:
      case 1:
      case 2:
      case 3:
        click(e, in);
        break;
      case 4:
        if (HeadlessWindow* window = platform.window()) {
          platform.buttons = in.ConsumeIntegral<uint8_t>() & (kShift | kControl | kAlt);
          window->queueWheel(pickPoint(in), pickFloat(in) * (in.ConsumeBool() ? 1.0f : -3.0f));
          dispatch(e, effEditIdle);
          platform.buttons = 0;
        }
        break;
      case 5:
      case 6: {
        const bool down = in.ConsumeIntegralInRange(0, 3) != 0;
        const auto character = in.ConsumeBool() ? in.ConsumeIntegralInRange<VstInt32>(0, 127)
                                                : in.ConsumeIntegral<VstInt32>();
        const VstIntPtr virtualKey =
            in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 60) : in.ConsumeIntegral<VstIntPtr>();
        const float modifiers =
            in.ConsumeBool() ? static_cast<float>(in.ConsumeIntegralInRange(0, 15)) : pickFloat(in);
        dispatch(e, down ? effEditKeyDown : effEditKeyUp, character, virtualKey, nullptr,
                 modifiers);
        break;
      }
      case 7:
        e->setParameter(e, pickIndex(in, kNumParameters), pickFloat(in));
        break;
      case 8:
        dispatch(e, effSetProgram, 0, in.ConsumeIntegralInRange(-1, 64));
        break;
      case 9:
        platform.menuChoice = in.ConsumeIntegralInRange(-2, 40);
        break;
      case 10:
        platform.clock += in.ConsumeIntegralInRange<uint32_t>(0, 1000);
        dispatch(e, effEditIdle);
        break;
      case 11:
        if (HeadlessWindow* window = platform.window()) {
          const Point a = pickPoint(in), b = pickPoint(in);
          window->queuePaint({a.x, a.y, b.x, b.y});
        }
        dispatch(e, effEditIdle);
        break;
      case 12:
        dispatch(e, effSetEditKnobMode, 0, in.ConsumeIntegralInRange(0, 2));
        break;
      case 13:
        // Rarely: reopening decodes every bitmap again and would cost more than the rest.
        if (shared.expensiveAllowed()) {
          dispatch(e, effEditClose);
          if (in.ConsumeBool()) dispatch(e, effEditIdle);
          openPanel(e);
        }
        break;
      default:
        dispatch(e, effEditIdle);
        break;
    }
  }
  checkParameters(shared.get());
  return 0;
}
