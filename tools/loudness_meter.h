// Loudness of what vorlak-render writes, measured with libebur128 to ITU-R BS.1770-4 and
// EBU R128: integrated loudness, loudness range, sample peak and true peak over all channels.
// The Windows build has no libebur128: it measures the sample peak only, and says so.
#pragma once

#include <memory>
#include <string>

namespace vorlak::render {

struct Loudness {
  bool measured = true;  // false: only the sample peak is known
  double integratedLufs = 0.0;  // -infinity when nothing passed the gate
  double rangeLu = 0.0;
  double samplePeak = 0.0;  // linear, the largest over the channels
  double truePeak = 0.0;    // linear
};

class LoudnessMeter {
 public:
  LoudnessMeter() = default;

  LoudnessMeter(const LoudnessMeter&) = delete;
  LoudnessMeter& operator=(const LoudnessMeter&) = delete;

  bool start(int sampleRate, int channels, std::string* error);
  // Interleaved frames, full scale at 1.0.
  bool add(const float* interleaved, int frames);
  Loudness result() const;

 private:
  struct State;  // the library's, whose header stays out of ours
  struct Release {
    void operator()(State* state) const;
  };
  std::unique_ptr<State, Release> state_;
  int channels_ = 0;
};

// A linear level in decibels, -infinity for silence.
double decibels(double linear);

// A level in decibels to one decimal, "-inf" for silence.
std::string levelText(double decibels);

}  // namespace vorlak::render
