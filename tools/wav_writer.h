// Writes a stereo WAV file through a temporary file beside the target, which is renamed onto
// the target only when everything was written; otherwise it is removed, also when the
// process is interrupted. So a file at the target is always complete.
#pragma once

#include <cstdint>
#include <string>

struct sf_private_tag;

namespace vorlak::render {

enum class SampleFormat { Pcm16, Float32 };

class WavWriter {
 public:
  WavWriter() = default;
  ~WavWriter();  // removes the temporary file unless commit succeeded

  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  bool open(const std::string& path, int sampleRate, SampleFormat format, std::string* error);
  // Non-finite samples are written as 0 and counted.
  bool write(const float* left, const float* right, int frames, std::string* error);
  bool commit(std::string* error);

  std::int64_t framesWritten() const { return framesWritten_; }
  std::int64_t nonFiniteSamples() const { return nonFinite_; }

 private:
  void discard();

  sf_private_tag* file_ = nullptr;
  std::string path_;
  std::string tempPath_;
  float interleaved_[2 * 1024];
  std::int64_t framesWritten_ = 0;
  std::int64_t nonFinite_ = 0;
};

}  // namespace vorlak::render
