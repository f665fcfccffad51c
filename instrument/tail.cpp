// How long the instrument may go on sounding once its last note has ended, for hosts that stop
// calling a plug-in they believe silent.
#include <cstdint>

#include "chain/effect_state.h"
#include "instrument/core.h"
#include "instrument/parameters.h"

namespace vorlak {
namespace {

// A released string stops when the engine's idle window of 0.2 s has passed; the amplifier
// and the cabinet run only while a string sounds.
constexpr float kStringWindow = 0.2f;
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

uint32_t InstrumentCore::tailFrames() const {
  const Patch values = patch();
  // The latch or the pedal holds released strings, and a multitap loop with feedback repeats
  // what it holds: either can sound until something new arrives.
  if (latchState(engine) != 0) return kEndlessTail;
  if (values.fx == kFxMstMultitap && values.fxPar2 > 0.0f) return kEndlessTail;
  return static_cast<uint32_t>(kStringWindow * engineSampleRate) +
         effectRing(values.fx, engineSampleRate);
}

}  // namespace vorlak
