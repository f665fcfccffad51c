// The program's command line. Parsing never exits: it answers what to do, or the one-line
// reason the command line is refused.
#pragma once

#include <string>

namespace vorlak::standalone {

enum class AudioSystem { kAuto, kJack, kAlsa };

struct Options {
  enum Action { kPlay, kHelp, kVersion, kList };
  Action action = kPlay;
  AudioSystem audio = AudioSystem::kAuto;
  std::string device;   // ALSA output; empty for the system's default
  std::string midi;     // MIDI source to connect; empty for all (JACK) or none (ALSA)
  int rate = 0;         // ALSA; 0 for the default
  int buffer = 0;       // ALSA period in frames; 0 for the default
  std::string program;  // a number 0 to 63 or a name; empty to keep the saved program
  double scale = 0.0;   // 0 when not given
  bool gui = true;
  bool connect = true;
  // Which of the settings kept between runs the command line gave.
  bool gaveAudio = false, gaveDevice = false, gaveMidi = false;
};

// False with error set for an unknown option, a missing or malformed value.
bool parseOptions(int argc, char** argv, Options& options, std::string& error);

extern const char kUsage[];

}  // namespace vorlak::standalone
