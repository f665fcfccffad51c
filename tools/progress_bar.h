// A one-line progress bar on stderr, drawn only when stderr is a terminal and the job is long
// enough to be worth watching.
#pragma once

#include <cstdint>

namespace vorlak::render {

class ProgressBar {
 public:
  ProgressBar(std::int64_t total, bool worthShowing);
  ~ProgressBar();  // erases the bar

  void update(std::int64_t done);

 private:
  std::int64_t total_;
  bool enabled_;
  int shownPercent_ = -1;
};

}  // namespace vorlak::render
