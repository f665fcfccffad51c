#include "tools/wav_writer.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstring>
#include <vector>

#include "tools/loudness_meter.h"

namespace vorlak::render {
namespace {

// The temporary file of the writer in progress, for the interrupt handler, which may only
// use async-signal-safe calls.
char pendingTemp[PATH_MAX] = {};
volatile std::sig_atomic_t haveTemp = 0;

extern "C" void removeTempAndExit(int signal) {
  if (haveTemp) unlink(pendingTemp);
  _exit(128 + signal);
}

void guardTemp(const std::string& path) {
  if (path.size() >= sizeof(pendingTemp)) return;
  haveTemp = 0;
  std::memcpy(pendingTemp, path.c_str(), path.size() + 1);
  haveTemp = 1;
  static bool installed = false;
  if (!installed) {
    installed = true;
    std::signal(SIGINT, removeTempAndExit);
    std::signal(SIGTERM, removeTempAndExit);
    std::signal(SIGHUP, removeTempAndExit);
  }
}

void releaseTemp() { haveTemp = 0; }

std::string directoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

WavWriter::~WavWriter() { discard(); }

void WavWriter::discard() {
  if (file_ != nullptr) {
    sf_close(file_);
    file_ = nullptr;
  }
  if (!tempPath_.empty()) {
    unlink(tempPath_.c_str());
    tempPath_.clear();
    releaseTemp();
  }
}

bool WavWriter::open(const std::string& path, int sampleRate, SampleFormat format,
                     std::string* error) {
  restart(path, format);

  struct stat info {};
  if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    *error = "cannot write " + path + ": it is a directory";
    return false;
  }

  const auto slash = path.rfind('/');
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string pattern = directoryOf(path) + "/." + base + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  tempPath_ = name.data();
  guardTemp(tempPath_);
  // mkstemp makes the file private; the finished file gets the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);

  SF_INFO sfInfo{};
  sfInfo.samplerate = sampleRate;
  sfInfo.channels = 2;
  sfInfo.format =
      SF_FORMAT_WAV | (format == SampleFormat::Float32 ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16);
  file_ = sf_open_fd(fd, SFM_WRITE, &sfInfo, SF_TRUE);
  if (file_ == nullptr) {
    *error = "cannot write " + path + ": " + sf_strerror(nullptr);
    close(fd);
    discard();
    return false;
  }
  sf_command(file_, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
  return true;
}

bool WavWriter::writeChunk(int count, std::string* error) {
  const sf_count_t written = format_ == SampleFormat::Pcm16
                                 ? sf_writef_short(file_, pcm_, count)
                                 : sf_writef_float(file_, interleaved_, count);
  if (written == count) return true;
  *error = "cannot write " + path_ + ": " + sf_strerror(file_);
  return false;
}

bool WavWriter::commit(std::string* error) {
  if (file_ == nullptr) {
    *error = "cannot write " + path_ + ": file is not open";
    return false;
  }
  sf_write_sync(file_);
  const int closed = sf_close(file_);
  file_ = nullptr;
  if (closed != 0) {
    *error = "cannot write " + path_ + ": " + sf_error_number(closed);
    discard();
    return false;
  }
  if (rename(tempPath_.c_str(), path_.c_str()) != 0) {
    *error = "cannot write " + path_ + ": " + std::strerror(errno);
    discard();
    return false;
  }
  tempPath_.clear();
  releaseTemp();
  return true;
}

}  // namespace vorlak::render
