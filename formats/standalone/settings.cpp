#include "formats/standalone/settings.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "common/text.h"
#include "editor/toolkit/ui_scale.h"
#include "instrument/session_state.h"

namespace vorlak::standalone {
namespace {

constexpr const char* kSettingsName = "settings";
constexpr const char* kSessionName = "session";

std::string defaultFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && *config == '/') return std::string(config) + "/vorlak";
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.config/vorlak";
  return {};
}

// mkdir -p for the folder and its parents.
bool makeFolders(const std::string& folder) {
  for (size_t at = 1; at <= folder.size(); ++at) {
    if (at < folder.size() && folder[at] != '/') continue;
    const std::string part = folder.substr(0, at);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

bool readFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool writeAtomically(const std::string& path, const void* data, size_t size) {
  const std::string temporary = path + ".new";
  FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(data, 1, size, file) == size;
  if (std::fclose(file) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

// A text a line can hold: no line breaks, no terminators.
bool plainText(const std::string& text) {
  for (char c : text)
    if (c == '\n' || c == '\r' || c == '\0') return false;
  return true;
}

bool parseSettings(const std::string& text, Settings& settings) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.empty() || line[0] == '#') continue;
    const size_t equals = line.find('=');
    if (equals == std::string::npos) return false;
    const std::string name = line.substr(0, equals), value = line.substr(equals + 1);
    if (!plainText(value)) return false;
    if (name == "audio") {
      if (!value.empty() && value != "jack" && value != "alsa") return false;
      settings.audio = value;
    } else if (name == "device") {
      settings.device = value;
    } else if (name == "midi") {
      settings.midi = value;
    } else if (name == "scale") {
      const double scale = leadingNumber(value.c_str());
      if (!value.empty() && !(scale >= 1.0 && scale <= 3.0)) return false;
      settings.scale = snapScale(scale);
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

SettingsStore::SettingsStore() : folder(defaultFolder()) {}

Settings SettingsStore::loadSettings() {
  Settings settings;
  std::string text;
  if (folder.empty() || !readFile(folder + "/" + kSettingsName, text)) return settings;
  if (parseSettings(text, settings)) return settings;
  std::fprintf(stderr, "vorlak: %s/%s is damaged; the default settings replace it\n",
               folder.c_str(), kSettingsName);
  settings = Settings{};
  writeSettings(settings);
  return settings;
}

bool SettingsStore::loadSession(InstrumentCore& core) {
  std::string bytes;
  if (folder.empty() || !readFile(folder + "/" + kSessionName, bytes)) return false;
  if (loadSessionState(core, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()))
    return true;
  std::fprintf(stderr, "vorlak: %s/%s is damaged; the factory programs replace it\n",
               folder.c_str(), kSessionName);
  writeSession(core);
  return false;
}

bool SettingsStore::writeSettings(const Settings& settings) {
  if (!plainText(settings.device) || !plainText(settings.midi)) return false;
  char scale[32] = "";
  if (settings.scale > 0.0) std::snprintf(scale, sizeof scale, "%g", settings.scale);
  const std::string text = "# Vorlak's settings, written when it ends\naudio=" + settings.audio +
                           "\ndevice=" + settings.device + "\nmidi=" + settings.midi +
                           "\nscale=" + scale + "\n";
  return makeFolders(folder) &&
         writeAtomically(folder + "/" + kSettingsName, text.data(), text.size());
}

bool SettingsStore::writeSession(const InstrumentCore& core) {
  std::vector<uint8_t> state(kSessionStateSize);
  saveSessionState(core, state.data());
  return makeFolders(folder) &&
         writeAtomically(folder + "/" + kSessionName, state.data(), state.size());
}

bool SettingsStore::save(const Settings& settings, const InstrumentCore& core) {
  if (!folder.empty() && writeSettings(settings) && writeSession(core)) return true;
  std::fprintf(
      stderr, "vorlak: the settings could not be written to %s\n",
      folder.empty() ? "a folder (neither XDG_CONFIG_HOME nor HOME is set)" : folder.c_str());
  return false;
}

}  // namespace vorlak::standalone
