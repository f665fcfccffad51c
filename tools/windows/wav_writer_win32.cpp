// The WAV writer of the Windows build, which has no libsndfile: a plain RIFF file with one
// format chunk, 16-bit PCM or 32-bit IEEE float, written through a temporary file beside the
// target that replaces the target only when complete. The samples are the Linux writer's.
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "tools/wav_writer.h"

// The header names libsndfile's handle; without that library the handle is this.
struct sf_private_tag {
  std::FILE* stream = nullptr;
  int sampleRate = 44100;
  int bytesPerSample = 2;
  bool floats = false;
};

namespace vorlak::render {
namespace {

constexpr uint16_t kPcm = 1, kIeeeFloat = 3;

void put16(unsigned char* at, uint32_t value) {
  at[0] = static_cast<unsigned char>(value);
  at[1] = static_cast<unsigned char>(value >> 8);
}

void put32(unsigned char* at, uint32_t value) {
  put16(at, value & 0xffff);
  put16(at + 2, value >> 16);
}

std::string lastError() {
  char text[256] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 GetLastError(), 0, text, sizeof(text), nullptr);
  std::string message(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.'))
    message.pop_back();
  return message;
}

bool writeHeader(const sf_private_tag& file, uint32_t dataBytes) {
  unsigned char header[44];
  std::memcpy(header, "RIFF", 4);
  put32(header + 4, 36 + dataBytes);
  std::memcpy(header + 8, "WAVEfmt ", 8);
  put32(header + 16, 16);
  put16(header + 20, file.floats ? kIeeeFloat : kPcm);
  put16(header + 22, 2);
  put32(header + 24, static_cast<uint32_t>(file.sampleRate));
  put32(header + 28, static_cast<uint32_t>(file.sampleRate) * 2u * file.bytesPerSample);
  put16(header + 32, 2 * file.bytesPerSample);
  put16(header + 34, 8 * file.bytesPerSample);
  std::memcpy(header + 36, "data", 4);
  put32(header + 40, dataBytes);
  return std::fseek(file.stream, 0, SEEK_SET) == 0 &&
         std::fwrite(header, sizeof(header), 1, file.stream) == 1;
}

}  // namespace

WavWriter::~WavWriter() { discard(); }

void WavWriter::discard() {
  if (file_ != nullptr) {
    if (file_->stream) std::fclose(file_->stream);
    delete file_;
    file_ = nullptr;
  }
  if (!tempPath_.empty()) {
    DeleteFileA(tempPath_.c_str());
    tempPath_.clear();
  }
}

bool WavWriter::open(const std::string& path, int sampleRate, SampleFormat format,
                     std::string* error) {
  restart(path, format);
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    *error = "cannot write " + path + ": it is a directory";
    return false;
  }
  const auto slash = path.find_last_of("/\\");
  const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  char temp[MAX_PATH];
  if (!GetTempFileNameA(directory.c_str(), "vlk", 0, temp)) {
    *error = "cannot write " + path + ": " + lastError();
    return false;
  }
  tempPath_ = temp;
  file_ = new sf_private_tag;
  file_->sampleRate = sampleRate;
  file_->floats = format == SampleFormat::Float32;
  file_->bytesPerSample = file_->floats ? 4 : 2;
  file_->stream = std::fopen(temp, "wb");
  if (!file_->stream || !writeHeader(*file_, 0)) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    discard();
    return false;
  }
  return true;
}

bool WavWriter::writeChunk(int count, std::string* error) {
  const void* samples = file_->floats ? static_cast<const void*>(interleaved_) : pcm_;
  if (std::fwrite(samples, 2u * file_->bytesPerSample, static_cast<size_t>(count),
                  file_->stream) == static_cast<size_t>(count))
    return true;
  *error = "cannot write " + path_ + ": " + std::strerror(errno);
  return false;
}

bool WavWriter::commit(std::string* error) {
  if (file_ == nullptr) {
    *error = "cannot write " + path_ + ": file is not open";
    return false;
  }
  const uint64_t bytes = static_cast<uint64_t>(framesWritten_) * 2u * file_->bytesPerSample;
  if (bytes > 0xffffffffu - 36u) {
    *error = "cannot write " + path_ + ": too long for a WAV file";
    discard();
    return false;
  }
  const bool headed = writeHeader(*file_, static_cast<uint32_t>(bytes));
  const bool closed = std::fclose(file_->stream) == 0;
  file_->stream = nullptr;
  if (!headed || !closed) {
    *error = "cannot write " + path_ + ": " + std::strerror(errno);
    discard();
    return false;
  }
  delete file_;
  file_ = nullptr;
  if (!MoveFileExA(tempPath_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    *error = "cannot write " + path_ + ": " + lastError();
    discard();
    return false;
  }
  tempPath_.clear();
  return true;
}

}  // namespace vorlak::render
