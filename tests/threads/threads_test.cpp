// One instance with its panel open, driven from four threads at once as hosts do: the audio
// thread renders 500 blocks of 32 frames with notes and program changes, one host thread
// sets and reads parameters, another reads display texts and program names and switches
// programs, and the panel's thread idles the editor, clicks on it and steps programs with the
// arrow keys. Built with VORLAK_TSAN the thread sanitizer fails the run on any data race;
// every build checks that what each thread reads stays well formed.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "editor/editor.h"
#include "editor/platform/headless/headless_platform.h"
#include "editor/toolkit/root_frame.h"
#include "editor/toolkit/widget.h"
#include "formats/vst2/effect.h"
#include "instrument/parameters.h"
#include "tools/host_records.h"

namespace vorlak {
namespace {

constexpr int kBlocks = 500;
constexpr int kFrames = 32;

std::atomic<int> automations{0};

VstIntPtr threadSafeHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  if (opcode == audioMasterAutomate) automations.fetch_add(1, std::memory_order_relaxed);
  return opcode == audioMasterVersion ? 2400 : 0;
}

VstIntPtr dispatch(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                   void* ptr = nullptr, float opt = 0.0f) {
  return e->dispatcher(e, opcode, index, value, ptr, opt);
}

// Host text buffers are 256 bytes; past the terminator nothing may be touched.
constexpr char kCanary = '\x5a';

bool textWellFormed(const char (&buffer)[256], int capacity) {
  const void* end = std::memchr(buffer, 0, static_cast<size_t>(capacity));
  if (!end) return false;
  for (int i = capacity; i < 256; ++i)
    if (buffer[i] != kCanary) return false;
  return true;
}

ValueWidget* controlOf(RootFrame& frame, int32_t tag) {
  for (int i = 0; i < frame.widgetCount(); ++i)
    if (auto* control = dynamic_cast<ValueWidget*>(frame.widgetAt(i)))
      if (control->getTag() == tag) return control;
  return nullptr;
}

TEST(Threads, AudioHostAndPanelThreadsShareOneInstance) {
  HeadlessPlatform platform;
  setPlatform(&platform);
  AEffect* e = createEffect(threadSafeHost);
  ASSERT_NE(e, nullptr);
  dispatch(e, effOpen);
  dispatch(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
  dispatch(e, effSetBlockSize, 0, kFrames);
  dispatch(e, effMainsChanged, 0, 1);
  int parentWindow = 0;
  ASSERT_EQ(dispatch(e, effEditOpen, 0, 0, &parentWindow), 1);
  HeadlessWindow* window = platform.window();
  ASSERT_NE(window, nullptr);
  window->queuePaint({0, 0, kPanelWidth, kPanelHeight});
  dispatch(e, effEditIdle);

  std::atomic<int> started{0};
  std::atomic<bool> done{false};
  auto waitForAll = [&] {
    started.fetch_add(1);
    while (started.load() < 3) std::this_thread::yield();
  };

  int badSamples = 0, blocksRendered = 0;
  std::thread audio([&] {
    waitForAll();
    std::vector<float> left(kFrames), right(kFrames);
    float* outputs[2] = {left.data(), right.data()};
    for (int block = 0; block < kBlocks; ++block) {
      records::FixedEventList<4> midi;
      if (block % 8 == 0) {
        const int note = 40 + (block / 8) % 24;
        midi.addMidi(0x90, note, 100, block % kFrames);
        midi.addMidi(0x80, note - 1, 0, kFrames - 1);
      }
      if (block % 50 == 25) midi.addMidi(0xC0, (block / 50) % kNumPrograms, 0, 3);
      if (block == kBlocks - 8) midi.addMidi(0xB0, 123, 0, 0);
      dispatch(e, effProcessEvents, 0, 0, midi.events());
      e->processReplacing(e, nullptr, outputs, kFrames);
      for (int i = 0; i < kFrames; ++i)
        for (float sample : {left[static_cast<size_t>(i)], right[static_cast<size_t>(i)]})
          if (!std::isfinite(sample)) ++badSamples;
      ++blocksRendered;
    }
    done.store(true);
  });

  int parameterCalls = 0, parametersOutside = 0;
  std::thread parameters([&] {
    waitForAll();
    std::mt19937 random(1);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    do {
      const auto index = static_cast<VstInt32>(random() % kNumParameters);
      e->setParameter(e, index, unit(random));
      const float back = e->getParameter(e, static_cast<VstInt32>(random() % kNumParameters));
      if (!(back >= 0.0f && back <= 1.0f)) ++parametersOutside;
      ++parameterCalls;
    } while (!done.load());
  });

  int textCalls = 0, badTexts = 0, programsOutside = 0;
  std::thread texts([&] {
    waitForAll();
    std::mt19937 random(2);
    do {
      char text[256];
      std::memset(text, kCanary, sizeof text);
      const auto index = static_cast<VstInt32>(textCalls % kNumParameters);
      dispatch(e, effGetParamDisplay, index, 0, text);
      if (!textWellFormed(text, kParameterTextSize)) ++badTexts;
      if (textCalls % 16 == 0) dispatch(e, effSetProgram, 0, random() % kNumPrograms);
      std::memset(text, kCanary, sizeof text);
      dispatch(e, effGetProgramName, 0, 0, text);
      if (!textWellFormed(text, kProgramNameSize)) ++badTexts;
      const VstIntPtr program = dispatch(e, effGetProgram);
      if (program < 0 || program >= kNumPrograms) ++programsOutside;
      ++textCalls;
    } while (!done.load());
  });

  // The panel's thread: idles, clicks the lower half of the panel (knobs, radio lamps, step
  // buttons, switches; the logo's modal picture is above) and steps programs with the keys.
  int idles = 0;
  {
    waitForAll();
    std::mt19937 random(3);
    do {
      if (idles % 4 == 0) {
        const Point at{static_cast<int32_t>(random() % kPanelWidth),
                       static_cast<int32_t>(60 + random() % (kPanelHeight - 60))};
        window->queueButtonDown(at, kLeftButton);
      }
      if (idles % 32 == 0) {
        // The virtual key travels in the value.
        dispatch(e, effEditKeyDown, 0, idles % 64 == 0 ? VKEY_UP : VKEY_DOWN);
      }
      dispatch(e, effEditIdle);
      ++idles;
    } while (!done.load());
  }
  audio.join();
  parameters.join();
  texts.join();

  EXPECT_EQ(blocksRendered, kBlocks);
  // Random settings may be loud (a feedback at full drive), but never not a number.
  EXPECT_EQ(badSamples, 0);
  EXPECT_GT(parameterCalls, 0);
  EXPECT_EQ(parametersOutside, 0);
  EXPECT_GT(textCalls, 0);
  EXPECT_EQ(badTexts, 0);
  EXPECT_EQ(programsOutside, 0);
  EXPECT_GT(idles, 0);

  // Quiet again: a value set from any thread reaches its knob, and the panel draws it.
  auto& effect = *static_cast<Effect*>(e->object);
  auto& editor = *static_cast<Editor*>(effect.getEditor());
  ASSERT_TRUE(editor.isOpened());
  ValueWidget* drive = controlOf(*editor.getFrame(), kDrive);
  ASSERT_NE(drive, nullptr);
  const float target = e->getParameter(e, kDrive) < 0.5f ? 0.75f : 0.25f;
  std::thread([&] { e->setParameter(e, kDrive, target); }).join();
  EXPECT_FLOAT_EQ(e->getParameter(e, kDrive), target);
  EXPECT_FLOAT_EQ(drive->getValue(), target);
  EXPECT_TRUE(drive->isDirty());
  dispatch(e, effEditIdle);
  EXPECT_FALSE(drive->isDirty());

  dispatch(e, effEditClose);
  dispatch(e, effMainsChanged, 0, 0);
  dispatch(e, effClose);
  setPlatform(nullptr);
}

}  // namespace
}  // namespace vorlak
