#include "tools/progress_bar.h"

#include <unistd.h>

#include <cstdio>

namespace vorlak::render {

ProgressBar::ProgressBar(std::int64_t total, bool worthShowing)
    : total_(total), enabled_(worthShowing && total > 0 && isatty(STDERR_FILENO) == 1) {}

ProgressBar::~ProgressBar() {
  if (enabled_ && shownPercent_ >= 0) std::fputs("\r\033[K", stderr);
}

void ProgressBar::update(std::int64_t done) {
  if (!enabled_) return;
  const int percent = static_cast<int>(done * 100 / total_);
  if (percent == shownPercent_) return;
  shownPercent_ = percent;
  constexpr int kWidth = 40;
  char bar[kWidth + 1];
  const int filled = percent * kWidth / 100;
  for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
  bar[kWidth] = '\0';
  std::fprintf(stderr, "\rrendering [%s] %3d%%", bar, percent);
  std::fflush(stderr);
}

}  // namespace vorlak::render
