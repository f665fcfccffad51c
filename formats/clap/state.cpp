// The state extension: the shared session state's bytes, moved through the host's streams in
// as many calls as they take.
#include <cstring>

#include "formats/clap/plugin.h"
#include "instrument/session_state.h"

namespace vorlak::clap {

bool Instance::saveState(const OutputStream& stream) const {
  if (!stream.write) return false;
  uint8_t bytes[kSessionStateSize];
  saveSessionState(core, bytes);
  for (size_t done = 0; done < sizeof bytes;) {
    const int64_t moved = stream.write(&stream, bytes + done, sizeof bytes - done);
    if (moved <= 0 || static_cast<uint64_t>(moved) > sizeof bytes - done) return false;
    done += static_cast<size_t>(moved);
  }
  return true;
}

// Read until the stream ends, one byte past the state's size at most so that a longer stream
// is seen to be one; the shared format refuses anything but the exact bytes.
bool Instance::loadState(const InputStream& stream) {
  if (!stream.read) return false;
  uint8_t bytes[kSessionStateSize + 1];
  size_t done = 0;
  while (done < sizeof bytes) {
    const int64_t moved = stream.read(&stream, bytes + done, sizeof bytes - done);
    if (moved == 0) break;
    if (moved < 0 || static_cast<uint64_t>(moved) > sizeof bytes - done) return false;
    done += static_cast<size_t>(moved);
  }
  if (!loadSessionState(core, bytes, done)) return false;
  valuesReplaced();
  return true;
}

}  // namespace vorlak::clap
