#include "chain/signal_chain.h"

#include <cmath>
#include <cstring>

#include "chain/amp_effects.h"
#include "chain/master_effects.h"
#include "chain/table_sin.h"
#include "engine/engine.h"
#include "engine/tiny_offset.h"

namespace vorlak {
namespace {

// The design is a pure function of its inputs, so it runs only when they change: the voicing
// at a new rate, the bands when an EQ knob moves.
void designBands(BiquadBank& bank, BiquadDesign& designed, const Patch& patch, float rate) {
  const bool newRate = designed.rate != rate;
  if (newRate) {
    designBiquad(bank.slots[kVoicingLow], BiquadType::LowShelf, 10.0f, 90.0f, rate, 0.0f);
    designBiquad(bank.slots[kVoicingHigh], BiquadType::HighShelf, 8.0f,
                 rate < 24000.0f ? 0.4f * rate : 12000.0f, rate, 0.0f);
  }
  if (newRate || designed.eqLow != patch.eqLow)
    designBiquad(bank.slots[kEqLowBand], BiquadType::LowShelf, patch.eqLow * 20.0f - 10.0f,
                 500.0f, rate, 0.0f);
  if (newRate || designed.eqHigh != patch.eqHigh)
    designBiquad(bank.slots[kEqHighBand], BiquadType::HighShelf, patch.eqHigh * 20.0f - 10.0f,
                 2500.0f, rate, 0.0f);
  if (newRate || designed.eqMid != patch.eqMid)
    designBiquad(bank.slots[kEqMidBand], BiquadType::Peaking, patch.eqMid * 20.0f - 10.0f,
                 1000.0f, rate, 1.5f);
  designed = {rate, patch.eqLow, patch.eqMid, patch.eqHigh};
}

// One amplifier pre-stage; the type is fixed for a call, so each gets its own loop.
template <int Type>
inline float ampStage(Amplifier& amp, Biquad (&eq)[3], const AmpSettings& s, const float* sineTable,
                      float x, float fb) {
  auto equalise = [&eq](float in) { return eq[2].step(eq[1].step(eq[0].step(in))); };
  if constexpr (Type == kAmpBandpass) {
    amp.bandStage[0].step(fb + x + 0.001f, s.bandCoefficient, 1.0f);
    const float y1 = softClip(sineTable, amp.bandStage[0].band * s.stageGain);
    amp.bandStage[1].step(y1 + 0.001f, s.bandCoefficient, 1.0f);
    const float y2 = softClip(sineTable, amp.bandStage[1].band * s.stageGain);
    amp.bandStage[2].step(y2 + 0.001f, s.bandCoefficient, 1.0f);
    const float y3 = softClip(sineTable, amp.bandStage[2].band * s.stageGain);
    return equalise(y3 + kTiny) * s.compensation * 0.5f * 0.7f * 0.5f;
  } else {
    amp.inputHighpass = 0.995f * amp.inputHighpass + 0.005f * x;
    const float u = x - amp.inputHighpass;
    if constexpr (Type == kAmpDry) {
      return equalise(u + kTiny) * s.compensation * s.drive * 3.0f;
    } else {
      const float a = s.alpha;
      float* tone = amp.toneStage;
      if constexpr (Type == kAmpTube) {
        tone[0] = a * (fb + u) + (1.0f - a) * tone[0];
      } else {
        const float e = equalise(fb + u + kTiny) * s.compensation;
        tone[0] = (1.0f - a) * tone[0] + a * e;
      }
      const float y1 = softClip(sineTable, tone[0] * s.stageGain);
      tone[1] = a * y1 + (1.0f - a) * tone[1];
      const float y2 = softClip(sineTable, tone[1] * s.stageGain);
      tone[2] = a * y2 + (1.0f - a) * tone[2];
      const float y3 = softClip(sineTable, tone[2] * s.stageGain);
      if constexpr (Type == kAmpTube)
        return equalise(y3 + kTiny) * s.compensation * 0.5f * 0.5f * 0.5f;
      else
        return y3 * 0.5f * 0.5f;
    }
  }
}

template <int Type>
void ampAndCabinet(Chain& chain, Engine& engine, const Patch& patch, float* left, float* right,
                   int count, float outputGain) {
  const AmpSettings s = ampSettings(patch, engine.inverseRate);
  const CabinetModel& cab = cabinetModel(patch.cabType);
  const uint32_t distance = reflectionDistance(cab.reflectionFrames, engine.sampleRate);
  const float cutoff = cab.cutoff * engine.inverseRate * 44100.0f;
  const LadderFilter::Coefficients ladderCoefficients =
      LadderFilter::unclamped(cutoff, cab.resonance);
  const float* sineTable = engine.sineTable;
  const float drive = engine.feedbackDrive;
  const float excite = Type == kAmpDry ? 0.0f : 0.7f;
  // The filters run on copies, written back once after the loop: as far as the compiler
  // knows, left and right could point into the chain, so it would otherwise load and store
  // every state on every frame.
  Biquad* const slots = chain.biquads.slots;
  Biquad eq[3] = {slots[kEqLowBand], slots[kEqMidBand], slots[kEqHighBand]};
  Biquad voicingLow = slots[kVoicingLow];
  Biquad voicingHigh = slots[kVoicingHigh];
  Amplifier amp = chain.amplifier;
  Cabinet& cabinet = chain.cabinet;
  LadderFilter ladder = cabinet.ladder;
  float* ring = engine.feedbackRing;
  uint32_t writePos = chain.feedbackWritePos;
  uint32_t reflectionPos = cabinet.position;
  float highpass = chain.outputHighpass;
  StateVariable resonator = amp.resonator;

  for (int i = 0; i < count; ++i) {
    const float fb = s.feedbackAmount * resonator.band;
    const float v = ampStage<Type>(amp, eq, s, sineTable, left[i], fb);

    const float q = ladder.step(v, ladderCoefficients) * 0.25f;
    cabinet.ring[reflectionPos & (kReflectionSize - 1)] = q;
    const float reflected = q + cabinet.ring[(reflectionPos - distance) & (kReflectionSize - 1)];
    ++reflectionPos;
    float y = (reflected * cab.wet + v * (1.0f - cab.wet)) * cab.level;

    // The resonator's band is gated by the held string's drive, so it dies with the notes.
    resonator.low = resonator.low + s.resonatorCoefficient * resonator.band;
    resonator.high = excite * y - resonator.low - 0.7f * resonator.band;
    resonator.band = (resonator.band + s.resonatorCoefficient * resonator.high) * drive;
    ring[writePos & kLineMask] = 8.0f * resonator.band;
    ++writePos;

    y = voicingHigh.step(voicingLow.step(y));
    highpass = 0.995f * highpass + 0.005f * y;
    const float out = (y - highpass) * outputGain;
    left[i] = out;
    right[i] = out;
  }
  amp.resonator = resonator;
  chain.amplifier = amp;
  slots[kEqLowBand] = eq[0];
  slots[kEqMidBand] = eq[1];
  slots[kEqHighBand] = eq[2];
  slots[kVoicingLow] = voicingLow;
  slots[kVoicingHigh] = voicingHigh;
  cabinet.ladder = ladder;
  chain.feedbackWritePos = writePos;
  cabinet.position = reflectionPos;
  chain.outputHighpass = highpass;
}

void runAmpAndCabinet(Chain& chain, Engine& engine, const Patch& patch, float* l, float* r,
                      int count, float outputGain) {
  switch (patch.ampType) {
    case kAmpDry:
      ampAndCabinet<kAmpDry>(chain, engine, patch, l, r, count, outputGain);
      break;
    case kAmpTube:
      ampAndCabinet<kAmpTube>(chain, engine, patch, l, r, count, outputGain);
      break;
    case kAmpEq:
      ampAndCabinet<kAmpEq>(chain, engine, patch, l, r, count, outputGain);
      break;
    default:
      ampAndCabinet<kAmpBandpass>(chain, engine, patch, l, r, count, outputGain);
      break;
  }
}

}  // namespace

void resetChain(Chain& chain, float sampleRate) {
  std::memset(&chain, 0, sizeof chain);
  chain.feedbackWritePos = 1 + static_cast<uint32_t>(0.005f * sampleRate);
}

void processChain(Chain& chain, Engine& engine, const Patch& patch, float* left, float* right,
                  int offset, int count) {
  designBands(chain.biquads, chain.designed, patch, engine.sampleRate);
  const float outputGain = engine.volume * engine.expression * 1.3f;
  float* l = left + offset;
  float* r = right + offset;

  if (latchState(engine) != 0) {
    float sum = 0.0f;
    for (int i = 0; i < count; ++i) sum += std::fabs(l[i]);
    if (std::fabs(sum) < 1.0e-6f) engine.silenceCount = saturatingIncrement(engine.silenceCount);
  }

  const int fx = patch.fx;
  const bool strings = engine.stringsActive == 1;
  const bool effectRuns = strings || runsWithoutStrings(fx);
  if (fx >= kFxAmpPhaser && fx <= kFxAmpTalkbox && effectRuns)
    runAmpEffect(fx, chain.effects, engine, patch, l, r, count);
  if (strings) runAmpAndCabinet(chain, engine, patch, l, r, count, outputGain);
  if (fx >= kFxMstChorus && effectRuns)
    runMasterEffect(fx, chain.effects, engine, patch, l, r, count);
}

}  // namespace vorlak
