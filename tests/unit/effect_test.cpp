#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "instrument/parameters.h"
#include "tests/unit/test_host.h"
#include "tools/host_records.h"

namespace vorlak {
namespace {

using namespace testhost;

bool anyNonZero(const float* line) {
  return std::any_of(line, line + kLineSize, [](float x) { return x != 0.0f; });
}

TEST(EffectConstruction, StartsOnProgramZeroWithLatchAndIdleVoices) {
  AEffect* e = makeEffect();
  ASSERT_NE(e, nullptr);
  // The only host call before the record exists is the version query, made with no record.
  ASSERT_EQ(host().count, 1);
  EXPECT_EQ(host().calls[0].opcode, audioMasterVersion);
  EXPECT_EQ(host().calls[0].effect, nullptr);

  const Engine& engine = engineOf(e);
  for (int i = 0; i < kNumParameters; ++i) {
    EXPECT_EQ(liveValueOf(e, i), kFactoryPrograms[0].values[i]) << i;
    EXPECT_EQ(e->getParameter(e, i), kFactoryPrograms[0].values[i]) << i;
  }
  // "POWER Metal": Coils 0.5, Pickup pos 0.1222, Drive 0.3535, Aid 0.5, Latch 1.
  EXPECT_EQ(liveValueOf(e, kCoils), 0.5f);
  EXPECT_EQ(liveValueOf(e, kPickupPos), 0.1222f);
  EXPECT_EQ(liveValueOf(e, kDrive), 0.3535f);
  EXPECT_EQ(liveValueOf(e, kAid), 0.5f);
  EXPECT_EQ(liveValueOf(e, kLatch), 1.0f);
  EXPECT_EQ(engine.latchFlags, kLatchParameter);
  EXPECT_EQ(engine.latchFlagsSeen, 1);
  EXPECT_EQ(e->dispatcher(e, effGetProgram, 0, 0, nullptr, 0.0f), 0);

  EXPECT_EQ(engine.sampleRate, 44100.0f);
  EXPECT_EQ(engine.queue.count, 0);
  EXPECT_EQ(engine.fretBend, 1.0f);
  EXPECT_EQ(engine.volume, 1.0f);
  EXPECT_EQ(engine.expression, 1.0f);
  EXPECT_EQ(engine.activityHold, 0);
  EXPECT_EQ(engine.activityShown, 0);
  EXPECT_EQ(engine.silenceCount, 5);
  for (const StringVoice& voice : engine.voices) {
    EXPECT_EQ(voice.gate, 0.0f);
    EXPECT_EQ(voice.envState, kEnvOff);
  }
  EXPECT_EQ(instrumentOf(e).scratchLength(), 0);
  closeEffect(e);
}

TEST(EffectConstruction, RefusesHostsThatDoNotAnswerTheirVersion) {
  host().reset();
  host().versionAnswer = 0;
  EXPECT_EQ(createEffect(recordingCallback), nullptr);
  ASSERT_EQ(host().count, 1);
  EXPECT_EQ(host().calls[0].opcode, audioMasterVersion);
  EXPECT_EQ(createEffect(nullptr), nullptr);
}

TEST(EffectResume, AsksForMidiAndResetsThePlayingStateOnly) {
  AEffect* e = makeEffect();
  startUp(e, 44100.0f, 512);
  e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
  EXPECT_EQ(host().countOf(audioMasterWantMidi), 1);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  EXPECT_EQ(host().countOf(audioMasterWantMidi), 3);
  for (int i = 0; i < host().count; ++i) {
    const HostCall& call = host().calls[i];
    if (call.opcode != audioMasterWantMidi) continue;
    EXPECT_EQ(call.effect, e);
    EXPECT_EQ(call.value, 1);
  }

  // Program 21 plays single notes with no latch; the pedal latches instead.
  e->dispatcher(e, effSetProgram, 0, 21, nullptr, 0.0f);
  sendMidi(e, {{0, 0x90, 40, 100}, {0, 0x90, 47, 100}, {0, 0x90, 52, 100},
               {0, 0xE0, 0, 0}, {0, 0xB0, 7, 64}, {0, 0xB0, 11, 32}, {0, 0xB0, 64, 127}});
  Stereo out(512);
  for (int block = 0; block < 4; ++block) e->processReplacing(e, nullptr, out.channels, 512);

  const Engine& engine = engineOf(e);
  int gated = 0;
  for (const StringVoice& voice : engine.voices) {
    if (voice.gate == 0.0f) continue;
    ++gated;
    ASSERT_TRUE(anyNonZero(voice.lineA));
    ASSERT_TRUE(anyNonZero(voice.pickupLine));
  }
  ASSERT_EQ(gated, 3);
  ASSERT_EQ(engine.fretBend, 0.5f);
  ASSERT_EQ(engine.volume, 64.0f / 127.0f);
  ASSERT_NE(engine.activityHold, 0);
  ASSERT_EQ(engine.latchFlags, kLatchPedal);

  // 2048 frames rendered: the next boundary is at 2205, 157 frames ahead. A controller queued
  // now must wait for it, also across the resume.
  sendMidi(e, {{0, 0xB0, 7, 100}});
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
  EXPECT_EQ(engine.queue.count, 1);
  EXPECT_EQ(engine.fretBend, 1.0f);
  EXPECT_EQ(engine.volume, 1.0f);
  EXPECT_EQ(engine.expression, 1.0f);
  EXPECT_EQ(engine.latchFlags, kLatchPedal);
  EXPECT_EQ(engine.activityHold, 0);
  EXPECT_EQ(engine.activityShown, 0);
  EXPECT_EQ(engine.silenceCount, 5);
  int released = 0;
  for (const StringVoice& voice : engine.voices) {
    EXPECT_EQ(voice.gate, 0.0f);
    EXPECT_FALSE(anyNonZero(voice.lineA));
    EXPECT_FALSE(anyNonZero(voice.pickupLine));
    if (voice.envState == kEnvRelease) {
      ++released;
      EXPECT_TRUE(anyNonZero(voice.lineB)) << "the second loop line keeps ringing";
    }
  }
  EXPECT_EQ(released, 3);

  e->processReplacing(e, nullptr, out.channels, 64);
  EXPECT_EQ(engine.queue.count, 1);
  EXPECT_EQ(engine.volume, 1.0f);
  e->processReplacing(e, nullptr, out.channels, 100);
  EXPECT_EQ(engine.queue.count, 0);
  EXPECT_EQ(engine.volume, 100.0f / 127.0f);
  closeEffect(e);
}

TEST(EffectRates, BlockSizeAndSampleRateReachTheEngineOnlyThroughTheirOwnRequests) {
  AEffect* e = makeEffect();
  Instrument& instrument = instrumentOf(e);
  const Engine& engine = engineOf(e);

  e->dispatcher(e, effSetBlockSize, 0, 512, nullptr, 0.0f);
  EXPECT_EQ(instrument.scratchLength(), 512);
  e->dispatcher(e, effSetBlockSize, 0, 512, nullptr, 0.0f);
  EXPECT_EQ(instrument.scratchLength(), 512);

  EXPECT_EQ(e->dispatcher(e, effSetBlockSizeAndSampleRate, 0, 256, nullptr, 48000.0f), 1);
  EXPECT_EQ(instrument.getBlockSize(), 256);
  EXPECT_EQ(instrument.getSampleRate(), 48000.0f);
  EXPECT_EQ(instrument.scratchLength(), 512);
  EXPECT_EQ(engine.sampleRate, 44100.0f);

  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 96000.0f);
  EXPECT_EQ(engine.sampleRate, 96000.0f);
  EXPECT_EQ(engine.inverseRate, 1.0f / 96000.0f);
  EXPECT_EQ(instrument.getSampleRate(), 96000.0f);

  const float inf = std::numeric_limits<float>::infinity();
  for (float bad : {0.0f, -44100.0f, 8000.0f, 16000.0f, 22049.0f, 384001.0f, inf, -inf,
                    std::numeric_limits<float>::quiet_NaN()}) {
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, bad);
    EXPECT_EQ(engine.sampleRate, 96000.0f) << bad;
    EXPECT_EQ(engine.inverseRate, 1.0f / 96000.0f) << bad;
  }
  for (float edge : {22050.0f, 384000.0f}) {
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, edge);
    EXPECT_EQ(engine.sampleRate, edge);
  }
  closeEffect(e);
}

TEST(EffectEvents, SysexNullEntriesAndOddListLengthsArePassedOver) {
  AEffect* fx = makeEffect();
  startUp(fx, 44100.f, 512);
  VstEvent sysex{};
  sysex.type = kVstSysExType;
  std::memset(sysex.data, 0x90, sizeof sysex.data);
  VstMidiEvent note = records::midiEvent(0x90, 62, 90);
  records::EventList odd;
  VstEvents* list = odd.build({&sysex, nullptr, reinterpret_cast<VstEvent*>(&note), nullptr});
  const EventQueue& queue = engineOf(fx).queue;
  fx->dispatcher(fx, effProcessEvents, 0, 0, list, 0.f);
  ASSERT_EQ(queue.count, 1);
  EXPECT_EQ(queue.slots[queue.readIndex].note, 62);
  for (VstInt32 count : {0, -3}) {
    list->numEvents = count;
    fx->dispatcher(fx, effProcessEvents, 0, 0, list, 0.f);
  }
  EXPECT_EQ(queue.count, 1);
  closeEffect(fx);
}

}  // namespace
}  // namespace vorlak
