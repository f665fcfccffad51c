#include "formats/standalone/options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "common/text.h"
#include "editor/toolkit/ui_scale.h"

namespace vorlak::standalone {

const char kUsage[] =
    "Usage: vorlak [OPTION]...\n"
    "Plays the Vorlak instrument without a host, on JACK or ALSA, with its panel.\n"
    "\n"
    "  --audio jack|alsa   the audio system (default: JACK when a server runs, else ALSA)\n"
    "  --device NAME       ALSA output device (--list names them); implies ALSA\n"
    "  --rate HZ           ALSA sample rate (default 48000); implies ALSA\n"
    "  --buffer FRAMES     ALSA period length (default 256); implies ALSA\n"
    "  --midi PORT         MIDI source to connect (default: every physical one on JACK)\n"
    "  --no-connect        connect nothing on JACK; leave it to a patchbay\n"
    "  --program N|NAME    start on program N (0 to 63) or the one of that name\n"
    "  --scale S           the panel's scale, 1 to 3 (as VORLAK_UI_SCALE)\n"
    "  --no-gui            no window: play until interrupted (SIGINT or SIGTERM)\n"
    "  --list              name the audio devices and MIDI sources, then exit\n"
    "  --help, --version   this text, or the version, then exit\n"
    "\n"
    "Keys in the window:\n"
    "  Left, Right, Up, Down   previous or next program\n"
    "  Ctrl+P  program menu    Ctrl+A  audio device menu    Ctrl+M  MIDI source menu\n"
    "  Ctrl+Q  quit\n"
    "  Z S X D C V G B H N J M ,   notes from C3 upwards (the bottom row, sharps above it)\n"
    "  Q 2 W 3 E R 5 T 6 Y 7 U I   notes from C4 upwards\n"
    "  - and =   the computer keyboard's notes an octave down or up\n"
    "\n"
    "Settings are kept in $XDG_CONFIG_HOME/vorlak/ (default ~/.config/vorlak/).\n";

namespace {

bool wholeNumber(const char* text, int low, int high, int& value) {
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text, &end, 10);
  if (errno || end == text || *end || parsed < low || parsed > high) return false;
  value = static_cast<int>(parsed);
  return true;
}

}  // namespace

bool parseOptions(int argc, char** argv, Options& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    const bool takesValue = option == "--audio" || option == "--device" || option == "--midi" ||
                            option == "--rate" || option == "--buffer" || option == "--program" ||
                            option == "--scale";
    const char* value = nullptr;
    if (takesValue) {
      if (i + 1 >= argc) {
        error = option + " needs a value";
        return false;
      }
      value = argv[++i];
    }
    if (option == "--help" || option == "-h") {
      options.action = Options::kHelp;
    } else if (option == "--version") {
      options.action = Options::kVersion;
    } else if (option == "--list") {
      options.action = Options::kList;
    } else if (option == "--no-gui") {
      options.gui = false;
    } else if (option == "--no-connect") {
      options.connect = false;
    } else if (option == "--audio") {
      if (std::strcmp(value, "jack") == 0) {
        options.audio = AudioSystem::kJack;
      } else if (std::strcmp(value, "alsa") == 0) {
        options.audio = AudioSystem::kAlsa;
      } else {
        error = std::string("--audio takes jack or alsa, not \"") + value + "\"";
        return false;
      }
      options.gaveAudio = true;
    } else if (option == "--device") {
      options.device = value;
      options.gaveDevice = true;
    } else if (option == "--midi") {
      options.midi = value;
      options.gaveMidi = true;
    } else if (option == "--rate") {
      if (!wholeNumber(value, 22050, 384000, options.rate)) {
        error = std::string("--rate takes 22050 to 384000 Hz, not \"") + value + "\"";
        return false;
      }
    } else if (option == "--buffer") {
      if (!wholeNumber(value, 16, 8192, options.buffer)) {
        error = std::string("--buffer takes 16 to 8192 frames, not \"") + value + "\"";
        return false;
      }
    } else if (option == "--program") {
      if (!*value) {
        error = "--program needs a number or a name";
        return false;
      }
      options.program = value;
    } else if (option == "--scale") {
      const double scale = leadingNumber(value);
      if (!std::isfinite(scale) || scale < 1.0 || scale > 3.0) {
        error = std::string("--scale takes 1 to 3, not \"") + value + "\"";
        return false;
      }
      options.scale = snapScale(scale);
    } else {
      error = "unknown option " + option + " (vorlak --help lists them)";
      return false;
    }
  }
  // An ALSA device, rate or period names ALSA; the JACK server decides them itself.
  const bool alsaOnly = options.gaveDevice || options.rate || options.buffer;
  if (alsaOnly && options.audio == AudioSystem::kJack) {
    error = "--device, --rate and --buffer are ALSA's: the JACK server sets them";
    return false;
  }
  if (alsaOnly) options.audio = AudioSystem::kAlsa;
  return true;
}

}  // namespace vorlak::standalone
