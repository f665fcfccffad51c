// Two channels of a render gathered block after block, as the format suites compare them.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace vorlak::test {

struct Stereo {
  std::vector<float> left, right;

  // The first frames of each channel of a block.
  void append(const std::vector<float>& l, const std::vector<float>& r, size_t frames) {
    left.insert(left.end(), l.begin(), l.begin() + static_cast<long>(frames));
    right.insert(right.end(), r.begin(), r.begin() + static_cast<long>(frames));
  }
  float peak() const {
    float p = 0.0f;
    for (const auto* channel : {&left, &right})
      for (float v : *channel) p = std::max(p, std::fabs(v));
    return p;
  }
  bool finite() const {
    for (const auto* channel : {&left, &right})
      for (float v : *channel)
        if (!std::isfinite(v)) return false;
    return true;
  }
};

}  // namespace vorlak::test
