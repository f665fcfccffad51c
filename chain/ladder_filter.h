// Four-stage ladder low-pass with resonance feedback and a cubic soft limit on the last
// stage. Each stage is a bilinear one-pole of unity DC gain; the output is scaled by
// (40000 - cutoff)·0.0001, about 4, which callers undo where they need unity.
// cutoff is normalised (useful range 0..1, per-sample at the running rate); resonance 0
// gives a plain low-pass, higher values a peak near cutoff. Zero state: LadderFilter{}.
#pragma once

namespace vorlak {

struct LadderFilter {
  float y1, y2, y3, y4;
  float oldX, oldY1, oldY2, oldY3;

  // The stage coefficient follows min(cutoff, 1).
  float step(float x, float cutoff, float resonance) {
    return run(x, cutoff < 1.0f ? cutoff : 1.0f, cutoff, resonance);
  }

  // What a step works out from its cutoff and resonance; a caller holding them fixed
  // works it out once (the cabinet's variant, whose stage coefficient follows cutoff
  // unclamped).
  struct Coefficients {
    float k, p, feedback, outputScale;
  };
  static Coefficients unclamped(float cutoff, float resonance) {
    return coefficients(cutoff, cutoff, resonance);
  }
  float step(float x, const Coefficients& c) { return run(x, c); }
  float stepUnclamped(float x, float cutoff, float resonance) {
    return run(x, unclamped(cutoff, resonance));
  }

 private:
  // F sets the stages; f (unclamped) sets the feedback and the output scaling.
  static Coefficients coefficients(float F, float f, float r) {
    const float k = 3.6f * F - 1.6f * (F * F) - 1.0f;
    return {k, (k + 1.0f) * 0.5f, 2.0f * (r / (f * 20000.0f + 5050.0f) * 12000.0f),
            40000.0f - f};
  }

  float run(float x, float F, float f, float r) { return run(x, coefficients(F, f, r)); }

  float run(float x, const Coefficients& c) {
    const float k = c.k;
    const float p = c.p;
    const float in = x - c.feedback * y4;
    y1 = (in + oldX) * p - k * y1;
    y2 = (y1 + oldY1) * p - k * y2;
    oldY1 = y1;
    y3 = (y2 + oldY2) * p - k * y3;
    oldY2 = y2;
    // The cubic turns back beyond sqrt(20) and past about 7.7 its output outgrows its input,
    // so that a loud input would run the loop off to infinity; held at its peak there, the
    // limit stays a limit.
    constexpr float kKnee = 4.472136f;
    float t = (y3 + oldY3) * p - k * y4;
    t = t > kKnee ? kKnee : (t < -kKnee ? -kKnee : t);
    oldY3 = y3;
    y4 = t - t * t * t * 0.01667f;
    oldX = in;
    return c.outputScale * y4 * 0.0001f;
  }
};

}  // namespace vorlak
