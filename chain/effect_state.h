// State of the pre-amplifier and master effects, and the numbering of the "FX" choices.
// Several effects deliberately use one and the same storage, so that switching from one to
// another carries the value over; the comments say who shares what. Zero at creation and
// never cleared afterwards, except the two modulation phases that a string start resets
// (they live in the engine: Engine::modulationPhase).
#pragma once

#include <cstdint>

#include "chain/hilbert_shifter.h"
#include "chain/ladder_filter.h"
#include "chain/state_variable.h"

namespace vorlak {

enum FxChoice : int {
  kFxDry = 0,
  kFxAmpPhaser = 1,
  kFxAmpTremolo = 2,
  kFxAmpWahWah = 3,
  kFxAmpWahLfo = 4,
  kFxAmpRingmod = 5,
  kFxAmpFuzzBox = 6,
  kFxAmpHarmonizer = 7,
  kFxAmpTalkbox = 8,
  kFxMstChorus = 9,
  kFxMstFlanger = 10,
  kFxMstPhaser = 11,
  kFxMstLeslie = 12,
  kFxMstTremolo = 13,
  kFxMstDubDelay = 14,
  kFxMstMultitap = 15,
};

constexpr int kEffectRingSize = 262144;
constexpr uint32_t kModulatedRingMask = 511;
constexpr uint32_t kDubRingMask = 32767;

// Effects that keep running in sub-blocks where no string was rendered: their rings and
// sweeps are the instrument's tail. The others leave such sub-blocks untouched.
inline bool runsWithoutStrings(int fx) {
  return fx == kFxAmpPhaser || fx == kFxMstFlanger || fx == kFxMstPhaser || fx == kFxMstDubDelay ||
         fx == kFxMstMultitap;
}

struct EffectState {
  // Both phasers.
  float phaserPhase;
  float phaserFeedback;
  HilbertShifter shifter;

  // Both wahs.
  float wahEnvelope;
  LadderFilter wahLadder;

  float ringPhase;

  // Harmonizer.
  float fastLevel;
  float slowLevel;
  float dcLevel;
  LadderFilter subLadder;
  float lastLowpassed;
  float flipFlop;  // -1, 0 or +1
  float subOctave;

  // Talkbox, chorus, flanger and Leslie; the Leslie's rotors are formantA and formantB.
  float modPhase;
  StateVariable formantA;
  StateVariable formantB;
  StateVariable formantC;

  // The five delay effects share the write counter; each reduces it to its own ring.
  uint32_t delayWritePos;
  uint32_t halfTapPos;
  uint32_t preDelayPos;

  // The flanger keeps each smoothed feedback value in two words (one read when writing the
  // ring, one read by the smoothing). The multitap's smoothing lives in the same words:
  // its tap smoothing in flangeFeedbackL, its loop smoothing in flangeSmoothL/R.
  float flangeFeedbackL;
  float flangeFeedbackR;
  float flangeSmoothL;
  float flangeSmoothR;

  float delayLineA[kEffectRingSize];
  float delayLineB[kEffectRingSize];
  float delayLineC[kEffectRingSize];
  float delayLineD[kEffectRingSize];
};

}  // namespace vorlak
