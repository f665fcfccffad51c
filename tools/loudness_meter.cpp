#include "tools/loudness_meter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#if defined(_WIN32)

namespace vorlak::render {

struct LoudnessMeter::State {
  double samplePeak = 0.0;
};

void LoudnessMeter::Release::operator()(State* state) const { delete state; }

bool LoudnessMeter::start(int, int channels, std::string*) {
  channels_ = channels;
  state_.reset(new State);
  return true;
}

bool LoudnessMeter::add(const float* interleaved, int frames) {
  if (state_ == nullptr) return false;
  for (long i = 0; i < static_cast<long>(frames) * channels_; ++i) {
    state_->samplePeak = std::max(state_->samplePeak, std::fabs(double{interleaved[i]}));
  }
  return true;
}

Loudness LoudnessMeter::result() const {
  Loudness loudness;
  loudness.measured = false;
  if (state_ != nullptr) loudness.samplePeak = state_->samplePeak;
  return loudness;
}

}  // namespace vorlak::render

#else

#include <ebur128.h>

namespace vorlak::render {

struct LoudnessMeter::State {
  ebur128_state* library;
};

void LoudnessMeter::Release::operator()(State* state) const {
  ebur128_destroy(&state->library);
  delete state;
}

bool LoudnessMeter::start(int sampleRate, int channels, std::string* error) {
  state_.reset();
  channels_ = channels;
  ebur128_state* library =
      ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(sampleRate),
                   EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK);
  if (library == nullptr) {
    *error = "cannot start the loudness meter at " + std::to_string(sampleRate) + " Hz";
    return false;
  }
  state_.reset(new State{library});
  return true;
}

bool LoudnessMeter::add(const float* interleaved, int frames) {
  return state_ != nullptr &&
         ebur128_add_frames_float(state_->library, interleaved, static_cast<std::size_t>(frames)) ==
             EBUR128_SUCCESS;
}

Loudness LoudnessMeter::result() const {
  Loudness loudness;
  if (state_ == nullptr) {
    loudness.measured = false;
    return loudness;
  }
  ebur128_loudness_global(state_->library, &loudness.integratedLufs);
  ebur128_loudness_range(state_->library, &loudness.rangeLu);
  for (int channel = 0; channel < channels_; ++channel) {
    double peak = 0.0;
    if (ebur128_sample_peak(state_->library, static_cast<unsigned>(channel), &peak) ==
        EBUR128_SUCCESS) {
      loudness.samplePeak = std::max(loudness.samplePeak, peak);
    }
    if (ebur128_true_peak(state_->library, static_cast<unsigned>(channel), &peak) ==
        EBUR128_SUCCESS) {
      loudness.truePeak = std::max(loudness.truePeak, peak);
    }
  }
  return loudness;
}

}  // namespace vorlak::render

#endif

namespace vorlak::render {

double decibels(double linear) { return linear > 0.0 ? 20.0 * std::log10(linear) : -HUGE_VAL; }

std::string levelText(double decibels) {
  if (!std::isfinite(decibels)) return decibels < 0.0 ? "-inf" : "inf";
  char text[32];
  std::snprintf(text, sizeof(text), "%.1f", decibels);
  // A level just under full scale rounds to "-0.0", which reads like a sign error.
  return std::string(text) == "-0.0" ? "0.0" : text;
}

}  // namespace vorlak::render
