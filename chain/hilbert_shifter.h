// Single-sideband frequency shifter: two chains of three all-pass sections whose outputs,
// A and chain B delayed by one sample (B'), stay about 90 degrees apart over the audio
// band at 44.1 kHz. Mixing them with the cosine and sine of a running phase shifts every
// component of the input by the phase rate. Zero state: HilbertShifter{}.
#pragma once

#include "chain/table_sin.h"

namespace vorlak {

struct HilbertShifter {
  float in1, in2;    // the input, one and two samples back
  float outA[3][2];  // per section of chain A: its output one and two samples back
  float outB[3][2];
  float lastB;  // chain B's output of the previous call

  // One sample through both chains: a is chain A's output, bLate chain B's output of the
  // previous call.
  void quadrature(float x, float& a, float& bLate) {
    static constexpr float kChainA[3] = {0.232829f, 0.843573f, 0.980351f};
    static constexpr float kChainB[3] = {0.612779f, 0.942636f, 0.995302f};
    a = runChain(x, outA, kChainA);
    bLate = lastB;
    lastB = runChain(x, outB, kChainB);
    in2 = in1;
    in1 = x;
  }

  // phase in cycles (normally [0, 1)); sineTable is sharedSineTable().
  float step(float x, float phase, const float* sineTable) {
    float a, bLate;
    quadrature(x, a, bLate);
    const float angle = phase * 6.28318f;
    const float s = tableSin(sineTable, angle);
    const float c = tableSin(sineTable, angle + 1.570795f);
    return c * bLate + s * a;
  }

 private:
  // Each section: out[n] = a·(out[n-2] - in[n]) + in[n-2]; a section's input history is
  // the output history of the section before it.
  float runChain(float x, float (&out)[3][2], const float (&coefficient)[3]) const {
    float v = x;
    float inBack2 = in2;
    for (int s = 0; s < 3; ++s) {
      const float y = coefficient[s] * (out[s][1] - v) + inBack2;
      inBack2 = out[s][1];
      out[s][1] = out[s][0];
      out[s][0] = y;
      v = y;
    }
    return v;
  }
};

}  // namespace vorlak
