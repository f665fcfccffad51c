#include "formats/standalone/player.h"

namespace vorlak::standalone {

bool Player::prepare(float rate, int maxFrames) {
  if (!core.setSampleRate(rate)) return false;
  core.setBlockSize(maxFrames);
  core.resume();
  return true;
}

void Player::programChange(int program) {
  if (core.switchProgram(program)) programChanged.store(true);
}

}  // namespace vorlak::standalone
