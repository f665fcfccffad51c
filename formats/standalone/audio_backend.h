// What the program asks of an audio system, JACK's or ALSA's: start playing the player now,
// say why it stopped if it did, and name its devices. The driver's own thread calls the
// player; everything here is the main thread's.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "formats/standalone/options.h"

namespace vorlak::standalone {

class Player;

class AudioBackend {
 public:
  virtual ~AudioBackend() = default;
  // Null while playing; else why the audio stopped (the server went away, the device failed).
  virtual const char* failure() = 0;
  // Housekeeping on the main thread: connections to MIDI sources that appeared, notices of
  // ones that went.
  virtual void poll() {}
  // The MIDI sources and output devices a user can choose from now.
  virtual std::vector<std::string> midiSources() = 0;
  virtual std::vector<std::string> outputDevices() { return {}; }
  // Connects the MIDI input to source alone; false when there is none of that name.
  virtual bool chooseMidiSource(const std::string& source) = 0;
  virtual const char* name() const = 0;
};

// What the backends are opened with: the user's choices, settled from the command line and
// the saved settings.
struct AudioChoice {
  std::string device;
  std::string midi;
  int rate = 0;
  int buffer = 0;
  bool connect = true;
};

// Null with error set when no server runs or the ports cannot be made or connected.
std::unique_ptr<AudioBackend> openJack(Player& player, const AudioChoice& choice,
                                       std::string& error);
// Null with error set when the device or MIDI source does not exist or cannot be opened.
std::unique_ptr<AudioBackend> openAlsa(Player& player, const AudioChoice& choice,
                                       std::string& error);
bool jackServerRunning();
void listJack(FILE* out);
void listAlsa(FILE* out);

// The one entry of names that is name, else the one that contains it (ignoring case); empty
// when none or several do.
std::string matchName(const std::vector<std::string>& names, const std::string& name);

}  // namespace vorlak::standalone
