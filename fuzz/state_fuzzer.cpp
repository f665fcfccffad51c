// The session state loader with any bytes a host might hand back: a saved state with bytes
// changed anywhere, cut short or lengthened, with its checksum made to fit or not. A refused
// state must change nothing; an accepted one must leave every value inside 0 to 1 and save
// again to a state that loads to itself.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "instrument/core.h"
#include "instrument/program.h"
#include "instrument/session_state.h"

namespace vorlak::fuzz {
namespace {

std::vector<uint8_t> saved(const InstrumentCore& core) {
  std::vector<uint8_t> bytes(kSessionStateSize);
  saveSessionState(core, bytes.data());
  return bytes;
}

void check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace
}  // namespace vorlak::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vorlak;
  using namespace vorlak::fuzz;
  static const std::unique_ptr<InstrumentCore> core = std::make_unique<InstrumentCore>();
  FuzzedDataProvider in(data, size);

  std::vector<uint8_t> blob = saved(*core);
  const int patches = in.ConsumeIntegralInRange(0, 16);
  for (int i = 0; i < patches; ++i) {
    const size_t at = in.ConsumeIntegralInRange<size_t>(0, blob.size() - 1);
    blob[at] = in.ConsumeIntegral<uint8_t>();
  }
  if (in.ConsumeIntegralInRange(0, 7) == 0)
    blob.resize(in.ConsumeIntegralInRange<size_t>(0, kSessionStateSize + 16));
  if (blob.size() > 4 && in.ConsumeBool()) {
    const uint32_t crc = sessionStateChecksum(blob.data(), blob.size() - 4);
    for (int i = 0; i < 4; ++i) blob[blob.size() - 4 + i] = static_cast<uint8_t>(crc >> (8 * i));
  }

  const std::vector<uint8_t> before = saved(*core);
  if (!loadSessionState(*core, blob.data(), blob.size())) {
    check(saved(*core) == before);
    return 0;
  }
  for (int i = 0; i < kNumParameters; ++i) {
    const float value = core->liveValue(i);
    check(std::isfinite(value) && value >= 0.0f && value <= 1.0f);
  }
  const std::vector<uint8_t> again = saved(*core);
  check(loadSessionState(*core, again.data(), again.size()));
  check(saved(*core) == again);
  return 0;
}
