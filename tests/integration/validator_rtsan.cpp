// The audio thread's workload under RealtimeSanitizer (clang 20 or later, -fsanitize=realtime):
// every entry-point call is made from a function declared nonblocking, so the sanitizer stops
// the program with a report at any allocation, lock or blocking call made inside it, the
// module's included. Built by CMake when clang++-22 is installed.
//
//   validator_rtsan MODULE               runs the workload; exit 0 when nothing was reported
//   validator_rtsan MODULE --self-check  makes one allocating call; the sanitizer must report it
#include <cstdio>
#include <string>
#include <thread>

#include "tests/integration/validator_realtime_workload.h"

namespace {

using namespace vorlak;

void rtProcess(AEffect* e, float** inputs, float** outputs, VstInt32 frames)
    [[clang::nonblocking]] {
  e->process(e, inputs, outputs, frames);
}

void rtProcessReplacing(AEffect* e, float** inputs, float** outputs, VstInt32 frames)
    [[clang::nonblocking]] {
  e->processReplacing(e, inputs, outputs, frames);
}

VstIntPtr rtDispatch(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                     float opt) [[clang::nonblocking]] {
  return e->dispatcher(e, opcode, index, value, ptr, opt);
}

void rtSetParameter(AEffect* e, VstInt32 index, float value) [[clang::nonblocking]] {
  e->setParameter(e, index, value);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s MODULE [--self-check]\n", argv[0]);
    return 2;
  }
  std::string error;
  auto plugin = test::loadForAudioThread(argv[1], &error);
  if (!plugin) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }

  if (argc > 2 && std::string(argv[2]) == "--self-check") {
    std::thread audio([&] {
      rtDispatch(plugin->effect(), effSetBlockSize, 0, 3 * test::kWorkloadBlock, nullptr, 0.0f);
    });
    audio.join();
    std::fprintf(stderr, "a new block size allocated without a report\n");
    return 1;
  }

  const test::AudioThreadCalls calls = {rtProcess, rtProcessReplacing, rtDispatch, rtSetParameter};
  test::AudioThreadWorkload workload;
  long made = 0;
  std::thread audio([&] { made = workload.run(plugin->effect(), calls); });
  audio.join();
  if (workload.peak() <= 0.0f) {
    std::fprintf(stderr, "nothing was rendered\n");
    return 1;
  }
  std::printf("%ld audio-thread calls without a real-time violation\n", made);
  return 0;
}
