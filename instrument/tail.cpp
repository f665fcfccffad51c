// How long the instrument may go on sounding once its last note has ended, for hosts that stop
// calling a plug-in they believe silent.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>

#include "chain/effect_state.h"
#include "instrument/core.h"
#include "instrument/parameters.h"

namespace vorlak {
namespace {

// The flanger's fixed 0.8 feedback takes 62 trips round its ring to fall by 120 dB.
constexpr uint32_t kFlangerTrips = 62;
// The phasers' feedback passes through an all-pass every sample and dies within this.
constexpr float kPhaserRing = 0.1f;

// The frames an effect that runs without strings goes on giving out after its input ends.
uint32_t effectRing(int fx, float sampleRate) {
  switch (fx) {
    case kFxAmpPhaser:
    case kFxMstPhaser:
      return static_cast<uint32_t>(kPhaserRing * sampleRate);
    case kFxMstFlanger:
      return kFlangerTrips * (kModulatedRingMask + 1);
    case kFxMstDubDelay:
      return kDubRingMask + 1;
    case kFxMstMultitap:
      return 2 * kEffectRingSize;
    default:
      return 0;
  }
}

}  // namespace

uint32_t InstrumentCore::tailFrames() const { return tailFrames(patch()); }

uint32_t InstrumentCore::tailFrames(const Patch& values) const {
  // The latch or the pedal holds released strings, and a multitap loop with feedback repeats
  // what it holds: either can sound until something new arrives.
  if (latchState(engine) != 0) return kEndlessTail;
  if (values.fx == kFxMstMultitap && values.fxPar2 > 0.0f) return kEndlessTail;
  // A released string sounds until its release clock leaves the engine's idle window, at the
  // pace the current tone sets, and is found out of it at the next 5 ms tick; the amplifier
  // and the cabinet run only while a string sounds.
  const float window =
      kIdleWindow * engineSampleRate / releaseClockRate(values.tone, 1.0f / engineSampleRate);
  return static_cast<uint32_t>(std::ceil(window)) + tickHorizonSpan(engineSampleRate) + 1 +
         effectRing(values.fx, engineSampleRate);
}

// Every test reads only what a block already keeps, so asking costs a few compares a block.
bool InstrumentCore::quiet() const {
  if (engine.queue.count != 0 || queuedParameters != 0 || engine.strumCount > 0) return false;
  // The string pass skips every voice once the latch has found the strings silent.
  const bool passSkipped = engine.silenceCount > 3;
  const float window = kIdleWindow * engine.sampleRate;
  for (const StringVoice& voice : engine.voices) {
    // A release envelope still moves, and a strummed string restarting on this voice would
    // take its first level from wherever it stood. A string still waiting for its turn in a
    // strum is in its attack, or in its release when its key is already up.
    if (voice.envState != kEnvOff && voice.envState != kEnvSilent) return false;
    if (!passSkipped && voice.releaseTime < window) return false;
  }
  return true;
}

bool InstrumentCore::atRest(const float* left, const float* right, int frames) {
  if (!quiet()) {
    wasQuiet = false;
    return false;
  }
  const Patch values = patch();
  // Only a block that began quiet as well fed the effect nothing throughout; a newly chosen
  // effect may hold what its ring kept from long ago.
  if (wasQuiet && values.fx == restingFx) {
    const uint32_t added = static_cast<uint32_t>(std::max(frames, 0));
    quietFrames = quietFrames > UINT32_MAX - added ? UINT32_MAX : quietFrames + added;
  } else {
    quietFrames = 0;
  }
  wasQuiet = true;
  restingFx = values.fx;
  if (tailFrames(values) == kEndlessTail) return false;
  if (quietFrames < effectRing(values.fx, engineSampleRate)) return false;
  for (const float* channel : {left, right}) {
    if (!channel) continue;
    for (int i = 0; i < frames; ++i)
      if (!(std::fabs(channel[i]) <= kInaudible)) return false;
  }
  return true;
}

void InstrumentCore::skipRest(uint64_t frames) {
  if (!quiet()) return;
  skipTickGrid(grid, engineSampleRate, frames);
  // The line is addressed modulo its length, a power of two, so the count may wrap.
  engine.feedbackReadPos += static_cast<uint32_t>(frames);
}

}  // namespace vorlak
