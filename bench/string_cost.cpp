// Renders a fixed length of audio with one scene and exits, for counting instructions under
// valgrind --tool=callgrind (see instruction_cost.sh beside this file).
//
//   vorlak_string_cost strings|strings-frets|strings-bends|stk|instance|instance-dry|
//                      instance-fxN [seconds]
//
// strings-frets is the string scene with the bend wheel sweeping across the fret ladder;
// strings-bends the same sweep on each string's own channel in mono mode.
// instance-dry is the instance scene with the "Dry" amplifier, the "Dry" cabinet and no
// effect; instance-fxN the "Tube" amplifier, the "StaX" cabinet and "FX" option N (0 "Dry"
// .. 15; 8, "AMP:Talkbox", and 12, "MST:Leslie", are the heaviest).
//
// seconds defaults to 10 and may be 0: a run of 0 seconds does only the set-up, so the
// difference between two runs is the cost of the audio alone. Nothing is computed per sample
// beyond the scene itself; the peak of the last block is printed to show that it sounded.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/scenes.h"
#include "instrument/parameters.h"

namespace {

using namespace vorlak::bench;

float peak(const std::vector<float>& block) {
  float value = 0.0f;
  for (float x : block) value = std::max(value, std::fabs(x));
  return value;
}

int usage() {
  std::fprintf(stderr,
               "usage: vorlak_string_cost strings|strings-frets|strings-bends|stk|instance|"
               "instance-dry|instance-fxN "
               "[seconds]\n");
  return 2;
}

template <class Render>
void renderFor(int64_t frames, Render&& render) {
  for (int64_t done = 0; done < frames;) {
    const int block = static_cast<int>(std::min<int64_t>(kBlockFrames, frames - done));
    render(block);
    done += block;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) return usage();
  const char* mode = argv[1];
  const double seconds = argc == 3 ? std::atof(argv[2]) : 10.0;
  if (!(seconds >= 0.0)) return usage();
  const auto frames = static_cast<int64_t>(std::llround(seconds * kSampleRate));

  std::vector<float> left(kBlockFrames), right(kBlockFrames);
  if (std::strncmp(mode, "strings", 7) == 0) {
    const bool frets = std::strcmp(mode, "strings-frets") == 0;
    const bool each = std::strcmp(mode, "strings-bends") == 0;
    if (!frets && !each && mode[7] != '\0') return usage();
    StringScene scene(frets ? Bends::kFretLadder : each ? Bends::kEachString : Bends::kNone);
    renderFor(frames, [&](int n) { scene.render(left.data(), right.data(), n); });
    std::printf("%s: %lld frames, %d voices rendered, last block peak %g\n", mode,
                static_cast<long long>(frames), scene.renderedVoices(), peak(left));
  } else if (std::strcmp(mode, "stk") == 0) {
    StkGuitarScene scene;
    renderFor(frames, [&](int n) { scene.render(left.data(), n); });
    std::printf("stk: %lld frames, last block peak %g\n", static_cast<long long>(frames),
                peak(left));
  } else if (std::strcmp(mode, "instance") == 0 || std::strcmp(mode, "instance-dry") == 0 ||
             std::strncmp(mode, "instance-fx", 11) == 0) {
    const bool dry = std::strcmp(mode, "instance-dry") == 0;
    const bool tube = !dry && mode[8] != '\0';
    char* end = nullptr;
    const long fx = tube ? std::strtol(mode + 11, &end, 10) : 0;
    if (tube && (end == mode + 11 || *end != '\0' || fx < 0 || fx > 15)) return usage();
    using vorlak::kAmpType, vorlak::kCabType, vorlak::kFx;
    InstanceScene scene = tube  ? InstanceScene({{kAmpType, 1.0f / 3.0f},
                                                 {kCabType, 1.0f},
                                                 {kFx, static_cast<float>(fx) / 15.0f}})
                          : dry ? InstanceScene({{kAmpType, 0.0f}, {kCabType, 0.0f}, {kFx, 0.0f}})
                                : InstanceScene();
    if (!scene.valid()) {
      std::fprintf(stderr, "createEffect returned no instance\n");
      return 1;
    }
    renderFor(frames, [&](int n) { scene.render(left.data(), right.data(), n); });
    std::printf("%s: %lld frames, last block peak %g\n", mode, static_cast<long long>(frames),
                peak(left));
  } else {
    return usage();
  }
  return 0;
}
