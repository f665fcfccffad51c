// What the program keeps between runs, in $XDG_CONFIG_HOME/vorlak/ (else ~/.config/vorlak/):
// "settings", lines of name=value (the last audio system, ALSA device and MIDI source, and
// the panel's scale), and "session", the session state in the format every plug-in saves
// (current program and all 64 programs as edited). A damaged file is reported once, replaced
// by the defaults at once, and never stops the program.
#pragma once

#include <string>

namespace vorlak {
class InstrumentCore;
}

namespace vorlak::standalone {

struct Settings {
  std::string audio;   // "jack", "alsa" or empty for the default
  std::string device;  // ALSA output; empty for the default
  std::string midi;    // MIDI source; empty for the default
  double scale = 0.0;  // 0 when never chosen
};

class SettingsStore {
 public:
  // The folder from the environment; empty when neither XDG_CONFIG_HOME nor HOME says one.
  SettingsStore();
  explicit SettingsStore(std::string folder) : folder(std::move(folder)) {}

  // A missing file gives the defaults silently; a damaged one the defaults and a line on
  // standard error, and is rewritten with the defaults.
  Settings loadSettings();
  // The saved session into core; false (and core untouched) when there is none or it is
  // damaged, which is reported and the file replaced by core's own state.
  bool loadSession(InstrumentCore& core);
  // Both files, written whole to a temporary name and renamed over the old ones, so that a
  // crash in between leaves the last good file. False (and a line on standard error) when
  // the folder cannot be written.
  bool save(const Settings& settings, const InstrumentCore& core);

  const std::string& path() const { return folder; }

 private:
  bool writeSettings(const Settings& settings);
  bool writeSession(const InstrumentCore& core);

  std::string folder;
};

}  // namespace vorlak::standalone
