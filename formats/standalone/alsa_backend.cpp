// The program on ALSA, through RtAudio (the PCM device at the chosen rate and period) and
// RtMidi (a sequencer port "Vorlak" that programs and hardware connect to). RtMidi's thread
// hands each message to the audio callback through the player's ring; it plays at the start
// of the next period.
#include <alsa/asoundlib.h>
#include <rtaudio/RtAudio.h>
#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "formats/standalone/audio_backend.h"
#include "formats/standalone/player.h"

namespace vorlak::standalone {
namespace {

constexpr const char* kPortName = "Vorlak";
constexpr unsigned kDefaultRate = 48000;
constexpr unsigned kDefaultPeriod = 256;

// RtAudio's error callback carries no context: the one open stream's failure is kept here.
std::atomic<bool> gStreamFailed{false};
char gStreamError[256];

void streamError(RtAudioError::Type type, const std::string& text) {
  // Underruns are warnings RtAudio recovers from itself.
  if (type == RtAudioError::WARNING || type == RtAudioError::DEBUG_WARNING) return;
  std::snprintf(gStreamError, sizeof gStreamError, "the ALSA device failed: %s", text.c_str());
  gStreamFailed = true;
}

void quiet(const char*, int, const char*, int, const char*, ...) {}

// libasound prints every failed probe to standard error; the program says what matters itself.
void silenceLibrary() { snd_lib_error_set_handler(quiet); }

void midiError(RtMidiError::Type type, const std::string& text, void*) {
  if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING)
    std::fprintf(stderr, "vorlak: ALSA MIDI: %s\n", text.c_str());
}

std::vector<std::string> outputNames(RtAudio& audio) {
  std::vector<std::string> names;
  const unsigned count = audio.getDeviceCount();
  for (unsigned i = 0; i < count; ++i) {
    const RtAudio::DeviceInfo info = audio.getDeviceInfo(i);
    names.push_back(info.probed && info.outputChannels >= 1 ? info.name : std::string());
  }
  return names;
}

std::vector<std::string> sourceNames(RtMidiIn& midi) {
  std::vector<std::string> names;
  const unsigned count = midi.getPortCount();
  for (unsigned i = 0; i < count; ++i) names.push_back(midi.getPortName(i));
  return names;
}

class AlsaBackend final : public AudioBackend {
 public:
  AlsaBackend(Player& target, const AudioChoice& choice) : player(target), wanted(choice) {}
  ~AlsaBackend() override {
    try {
      if (audio.isStreamRunning()) audio.stopStream();
      if (audio.isStreamOpen()) audio.closeStream();
    } catch (const RtAudioError&) {
    }
  }

  bool open(std::string& error);
  const char* failure() override { return gStreamFailed ? gStreamError : nullptr; }
  std::vector<std::string> midiSources() override {
    return midi ? sourceNames(*midi) : std::vector<std::string>{};
  }
  std::vector<std::string> outputDevices() override { return outputNames(audio); }
  bool chooseMidiSource(const std::string& source) override;
  const char* name() const override { return "ALSA"; }

 private:
  static int render(void* output, void*, unsigned frames, double, RtAudioStreamStatus, void* self);
  static void received(double, std::vector<unsigned char>* message, void* self);
  bool openMidi(const std::string& source);
  bool openMidiOrNone(std::string& error);

  Player& player;
  AudioChoice wanted;
  RtAudio audio{RtAudio::LINUX_ALSA};
  std::unique_ptr<RtMidiIn> midi;
};

int AlsaBackend::render(void* output, void*, unsigned frames, double, RtAudioStreamStatus,
                        void* self) {
  auto* left = static_cast<float*>(output);
  static_cast<AlsaBackend*>(self)->player.renderPeriod([](auto&&) {}, left, left + frames,
                                                       static_cast<int>(frames));
  return 0;
}

void AlsaBackend::received(double, std::vector<unsigned char>* message, void* self) {
  if (!message || message->empty()) return;
  const auto& bytes = *message;
  static_cast<AlsaBackend*>(self)->player.deviceInput().push(
      {0, bytes[0], bytes.size() > 1 ? bytes[1] : uint8_t{0},
       bytes.size() > 2 ? bytes[2] : uint8_t{0}});
}

// Our port, connected from source when one is named; without one, others connect to it.
bool AlsaBackend::openMidi(const std::string& source) {
  midi = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, "Vorlak");
  midi->setErrorCallback(midiError, nullptr);
  midi->ignoreTypes(true, true, true);
  midi->setCallback(received, this);
  if (source.empty()) {
    midi->openVirtualPort(kPortName);
    return true;
  }
  const auto names = sourceNames(*midi);
  const std::string port = matchName(names, source);
  if (port.empty()) return false;
  for (unsigned i = 0; i < names.size(); ++i)
    if (names[i] == port) midi->openPort(i, kPortName);
  wanted.midi = port;
  return true;
}

// Without a sequencer the program still plays (from the computer's keys) unless the user
// named a source.
bool AlsaBackend::openMidiOrNone(std::string& error) {
  try {
    if (openMidi(wanted.midi)) return true;
    error = "no ALSA MIDI source matches \"" + wanted.midi + "\" (vorlak --list names them)";
  } catch (const RtMidiError& e) {
    midi.reset();
    if (wanted.midi.empty()) {
      std::fprintf(stderr, "vorlak: no ALSA sequencer (%s); playing without MIDI input\n",
                   e.what());
      return true;
    }
    error = std::string("ALSA MIDI: ") + e.what();
  }
  return false;
}

bool AlsaBackend::chooseMidiSource(const std::string& source) {
  try {
    if (!midi || matchName(sourceNames(*midi), source).empty()) return false;
    midi.reset();
    return openMidi(source);
  } catch (const RtMidiError& e) {
    std::fprintf(stderr, "vorlak: ALSA MIDI: %s\n", e.what());
    return false;
  }
}

bool AlsaBackend::open(std::string& error) {
  silenceLibrary();
  gStreamFailed = false;
  try {
    audio.showWarnings(false);
    const auto names = outputNames(audio);
    unsigned device = audio.getDefaultOutputDevice();
    if (!wanted.device.empty()) {
      const std::string found = matchName(names, wanted.device);
      if (found.empty()) {
        error =
            "no ALSA output device matches \"" + wanted.device + "\" (vorlak --list names them)";
        return false;
      }
      device = static_cast<unsigned>(std::find(names.begin(), names.end(), found) - names.begin());
    } else if (names.empty()) {
      error = "no ALSA output device was found";
      return false;
    }
    if (!openMidiOrNone(error)) return false;
    RtAudio::StreamParameters output;
    output.deviceId = device;
    output.nChannels = 2;
    RtAudio::StreamOptions options;
    options.flags = RTAUDIO_NONINTERLEAVED;
    options.numberOfBuffers = 2;
    options.streamName = "Vorlak";
    unsigned rate = wanted.rate > 0 ? static_cast<unsigned>(wanted.rate) : kDefaultRate;
    unsigned period = wanted.buffer > 0 ? static_cast<unsigned>(wanted.buffer) : kDefaultPeriod;
    audio.openStream(&output, nullptr, RTAUDIO_FLOAT32, rate, &period, render, this, &options,
                     streamError);
    // RtAudio may have settled on a longer period than asked for.
    if (!player.prepare(static_cast<float>(audio.getStreamSampleRate()),
                        static_cast<int>(period))) {
      error = "the ALSA device's rate is outside 22050 to 384000 Hz";
      return false;
    }
    audio.startStream();
  } catch (const RtAudioError& e) {
    error = std::string("ALSA: ") + e.what();
    return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<AudioBackend> openAlsa(Player& player, const AudioChoice& choice,
                                       std::string& error) {
  auto backend = std::make_unique<AlsaBackend>(player, choice);
  if (!backend->open(error)) return nullptr;
  return backend;
}

void listAlsa(FILE* out) {
  silenceLibrary();
  try {
    RtAudio audio(RtAudio::LINUX_ALSA);
    audio.showWarnings(false);
    std::fprintf(out, "ALSA output devices (--device):\n");
    for (const auto& name : outputNames(audio))
      if (!name.empty()) std::fprintf(out, "  %s\n", name.c_str());
    RtMidiIn midi(RtMidi::LINUX_ALSA, "Vorlak");
    std::fprintf(out, "ALSA MIDI sources (--midi):\n");
    for (const auto& name : sourceNames(midi)) std::fprintf(out, "  %s\n", name.c_str());
  } catch (const std::exception& e) {
    std::fprintf(out, "ALSA: %s\n", e.what());
  }
}

}  // namespace vorlak::standalone
