// The program's life: the settings read, the instrument set up, the audio system opened, the
// panel (or nothing, headless) run until the window closes or a signal arrives, the settings
// written back. A JACK server that goes away is waited for and joined again when it returns;
// an ALSA device that fails ends the program with a message.
#pragma once

#include <signal.h>

#include <memory>

#include "formats/standalone/audio_backend.h"
#include "formats/standalone/options.h"
#include "formats/standalone/panel_window.h"
#include "formats/standalone/player.h"
#include "formats/standalone/settings.h"

namespace vorlak::standalone {

class App final : private MenuOwner {
 public:
  explicit App(const Options& options);
  // The exit status: 0 when the user ended it, 1 when the audio could not start or failed.
  int run();

 private:
  bool start();
  bool openAudio(AudioSystem system, std::string& error);
  void closeAudio();
  // False when the program should end.
  bool keepAudio();
  void loop(const sigset_t& waiting);

  std::vector<MenuEntry> audioMenu() override;
  void chooseAudio(int id) override;
  std::vector<MenuEntry> midiMenu() override;
  void chooseMidi(int id) override;

  Options options;
  SettingsStore store;
  Settings settings;
  Player player;
  AudioChoice choice;
  AudioSystem system = AudioSystem::kAuto;
  std::unique_ptr<AudioBackend> backend;
  std::unique_ptr<PanelWindow> window;
  std::vector<std::string> audioChoices;  // the audio menu's entries as last shown
  std::vector<std::string> midiChoices;
  bool waitingForServer = false;
  unsigned nextTry = 0;
  int status = 0;
};

// A program number 0 to 63 (as vorlak-render numbers them) or a program's name (ignoring
// case); -1 for neither.
int findProgram(const InstrumentCore& core, const std::string& text);

}  // namespace vorlak::standalone
