// The samples as a WAV file holds them, and the chunks they go to disk in: the same whichever
// system's file writing takes them from there.
#include <algorithm>
#include <cmath>

#include "tools/loudness_meter.h"
#include "tools/wav_writer.h"

namespace vorlak::render {
namespace {

// 16-bit samples are converted here rather than by a library, so that the clipped ones can
// be counted and the meter sees exactly what the file holds: full scale is 32768, as readers
// take it, and values round to the nearest step.
constexpr float kPcmScale = 32768.0f;

short toPcm16(float sample, std::int64_t* clipped) {
  const float scaled = sample * kPcmScale;
  if (scaled >= 32767.5f) {
    ++*clipped;
    return 32767;
  }
  if (scaled < -32768.5f) {
    ++*clipped;
    return -32768;
  }
  return static_cast<short>(std::lrint(scaled));
}

}  // namespace

void WavWriter::restart(const std::string& path, SampleFormat format) {
  discard();
  path_ = path;
  format_ = format;
  framesWritten_ = 0;
  nonFinite_ = 0;
  clipped_ = 0;
}

void WavWriter::prepare(const float* left, const float* right, int count) {
  for (int i = 0; i < count; ++i) {
    for (int channel = 0; channel < 2; ++channel) {
      float sample = (channel == 0 ? left : right)[i];
      if (!std::isfinite(sample)) {
        sample = 0.0f;
        ++nonFinite_;
      }
      interleaved_[2 * i + channel] = sample;
    }
  }
  if (format_ == SampleFormat::Pcm16) {
    for (int i = 0; i < 2 * count; ++i) {
      pcm_[i] = toPcm16(interleaved_[i], &clipped_);
      interleaved_[i] = static_cast<float>(pcm_[i]) / kPcmScale;
    }
  }
  if (meter_ != nullptr) meter_->add(interleaved_, count);
}

bool WavWriter::write(const float* left, const float* right, int frames, std::string* error) {
  if (file_ == nullptr) {
    *error = "cannot write " + path_ + ": file is not open";
    return false;
  }
  constexpr int kChunk = static_cast<int>(sizeof(interleaved_) / sizeof(float) / 2);
  for (int done = 0; done < frames;) {
    const int count = std::min(kChunk, frames - done);
    prepare(left + done, right + done, count);
    if (!writeChunk(count, error)) {
      discard();
      return false;
    }
    done += count;
    framesWritten_ += count;
  }
  return true;
}

}  // namespace vorlak::render
