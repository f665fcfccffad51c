// Writes a stereo WAV file through a temporary file beside the target, which is renamed onto
// the target only when everything was written; otherwise it is removed, also when the
// process is interrupted. So a file at the target is always complete. The same command writes
// the same bytes: the float format's PEAK chunk, which carries a time stamp, is left out.
#pragma once

#include <cstdint>
#include <string>

struct sf_private_tag;

namespace vorlak::render {

class LoudnessMeter;

enum class SampleFormat { Pcm16, Float32 };

class WavWriter {
 public:
  WavWriter() = default;
  ~WavWriter();  // removes the temporary file unless commit succeeded

  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  bool open(const std::string& path, int sampleRate, SampleFormat format, std::string* error);
  // From then on the meter receives every sample as the file holds it.
  void measureWith(LoudnessMeter* meter) { meter_ = meter; }
  // Non-finite samples are written as 0 and counted; in the 16-bit format, samples beyond
  // full scale are clipped and counted.
  bool write(const float* left, const float* right, int frames, std::string* error);
  bool commit(std::string* error);

  std::int64_t framesWritten() const { return framesWritten_; }
  std::int64_t nonFiniteSamples() const { return nonFinite_; }
  std::int64_t clippedSamples() const { return clipped_; }

 private:
  void discard();
  // A new file: whatever was in progress discarded, the counts back at zero.
  void restart(const std::string& path, SampleFormat format);
  // Up to one chunk of frames into interleaved_ (and pcm_ for 16-bit files), counted and
  // measured as the file will hold them.
  void prepare(const float* left, const float* right, int count);
  // The prepared chunk onto the file, in the format chosen; the system's own part.
  bool writeChunk(int count, std::string* error);

  sf_private_tag* file_ = nullptr;
  std::string path_;
  std::string tempPath_;
  SampleFormat format_ = SampleFormat::Pcm16;
  LoudnessMeter* meter_ = nullptr;
  float interleaved_[2 * 1024];
  short pcm_[2 * 1024];
  std::int64_t framesWritten_ = 0;
  std::int64_t nonFinite_ = 0;
  std::int64_t clipped_ = 0;
};

}  // namespace vorlak::render
