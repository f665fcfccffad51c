// The program as a JACK client: one MIDI input, two audio outputs, the server's rate and
// period. The process callback takes each MIDI event at its frame and renders the period in
// one piece, as a plug-in renders its host's block.
#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>

#include "formats/standalone/audio_backend.h"
#include "formats/standalone/player.h"

namespace vorlak::standalone {
namespace {

constexpr const char* kClientName = "vorlak";
// JACK's longest period: the render scratch is made for it once, so that a new period length
// never allocates on the server's thread.
constexpr int kLongestPeriod = 8192;

void quiet(const char*) {}

// libjack prints to standard error when it finds no server; the program says it its own way.
void silenceLibrary() {
  jack_set_error_function(quiet);
  jack_set_info_function(quiet);
}

std::vector<std::string> portNames(jack_client_t* client, const char* type, unsigned long flags) {
  std::vector<std::string> names;
  if (const char** ports = jack_get_ports(client, nullptr, type, flags)) {
    for (const char** port = ports; *port; ++port) names.emplace_back(*port);
    jack_free(ports);
  }
  return names;
}

class JackBackend final : public AudioBackend {
 public:
  JackBackend(Player& target, const AudioChoice& choice) : player(target), wanted(choice) {}
  ~JackBackend() override {
    if (client) jack_client_close(client);
  }

  bool open(std::string& error);
  const char* failure() override;
  void poll() override;
  std::vector<std::string> midiSources() override {
    return portNames(client, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
  }
  bool chooseMidiSource(const std::string& source) override;
  const char* name() const override { return "JACK"; }

 private:
  static int process(jack_nframes_t frames, void* self);
  static void shutdown(void* self);
  static int rateChanged(jack_nframes_t rate, void* self);
  static void portRegistered(jack_port_id_t, int, void* self);
  void connectSources();

  Player& player;
  AudioChoice wanted;
  jack_client_t* client = nullptr;
  jack_port_t* midiIn = nullptr;
  jack_port_t* outputs[2] = {};
  jack_nframes_t rate = 0;
  std::atomic<bool> gone{false};
  std::atomic<bool> rateMoved{false};
  std::atomic<bool> portsChanged{false};
  int sources = 0;
};

int JackBackend::process(jack_nframes_t frames, void* self) {
  auto& backend = *static_cast<JackBackend*>(self);
  void* midi = jack_port_get_buffer(backend.midiIn, frames);
  auto* left = static_cast<float*>(jack_port_get_buffer(backend.outputs[0], frames));
  auto* right = static_cast<float*>(jack_port_get_buffer(backend.outputs[1], frames));
  const uint32_t count = midi ? jack_midi_get_event_count(midi) : 0;
  backend.player.renderPeriod(
      [&](auto&& add) {
        jack_midi_event_t event;
        for (uint32_t i = 0; i < count; ++i)
          if (jack_midi_event_get(&event, midi, i) == 0)
            add(static_cast<int>(event.time), event.buffer, event.size);
      },
      left, right, static_cast<int>(frames));
  return 0;
}

void JackBackend::shutdown(void* self) { static_cast<JackBackend*>(self)->gone = true; }

int JackBackend::rateChanged(jack_nframes_t rate, void* self) {
  auto& backend = *static_cast<JackBackend*>(self);
  if (backend.rate && rate != backend.rate) backend.rateMoved = true;
  return 0;
}

void JackBackend::portRegistered(jack_port_id_t, int, void* self) {
  static_cast<JackBackend*>(self)->portsChanged = true;
}

bool JackBackend::open(std::string& error) {
  silenceLibrary();
  jack_status_t status;
  client = jack_client_open(kClientName, JackNoStartServer, &status);
  if (!client) {
    error = "no JACK server is running";
    return false;
  }
  midiIn = jack_port_register(client, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  outputs[0] = jack_port_register(client, "out_1", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
  outputs[1] = jack_port_register(client, "out_2", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
  if (!midiIn || !outputs[0] || !outputs[1]) {
    error = "JACK refused the program's ports";
    return false;
  }
  rate = jack_get_sample_rate(client);
  const int period = static_cast<int>(jack_get_buffer_size(client));
  if (!player.prepare(static_cast<float>(rate), std::max(period, kLongestPeriod))) {
    error = "the JACK server's rate of " + std::to_string(rate) + " Hz is outside 22050 to 384000";
    return false;
  }
  jack_set_process_callback(client, process, this);
  jack_on_shutdown(client, shutdown, this);
  jack_set_sample_rate_callback(client, rateChanged, this);
  jack_set_port_registration_callback(client, portRegistered, this);
  if (jack_activate(client) != 0) {
    error = "the JACK server did not start the program's client";
    return false;
  }
  if (!wanted.midi.empty() && !chooseMidiSource(wanted.midi)) {
    error = "no JACK MIDI source matches \"" + wanted.midi + "\" (vorlak --list names them)";
    return false;
  }
  if (wanted.connect) {
    const auto playback =
        portNames(client, JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput | JackPortIsPhysical);
    for (size_t i = 0; i < 2 && !playback.empty(); ++i)
      jack_connect(client, jack_port_name(outputs[i]),
                   playback[std::min(i, playback.size() - 1)].c_str());
    connectSources();
  }
  sources = jack_port_connected(midiIn);
  return true;
}

// Every physical MIDI source, or the one the user chose; a connection that exists is kept.
void JackBackend::connectSources() {
  if (!wanted.connect) return;
  std::vector<std::string> chosen;
  if (wanted.midi.empty()) {
    chosen = portNames(client, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput | JackPortIsPhysical);
  } else {
    chosen.push_back(matchName(midiSources(), wanted.midi));
  }
  for (const std::string& source : chosen)
    if (!source.empty()) jack_connect(client, source.c_str(), jack_port_name(midiIn));
}

bool JackBackend::chooseMidiSource(const std::string& source) {
  const std::string port = matchName(midiSources(), source);
  if (port.empty()) return false;
  jack_port_disconnect(client, midiIn);
  wanted.midi = port;
  return jack_connect(client, port.c_str(), jack_port_name(midiIn)) == 0;
}

const char* JackBackend::failure() {
  if (gone) return "the JACK server went away";
  if (rateMoved) return "the JACK server changed its rate";
  return nullptr;
}

void JackBackend::poll() {
  if (gone || !portsChanged.exchange(false)) return;
  connectSources();
  const int now = jack_port_connected(midiIn);
  if (now < sources) std::fprintf(stderr, "vorlak: a MIDI source went away\n");
  sources = now;
}

}  // namespace

bool jackServerRunning() {
  silenceLibrary();
  jack_status_t status;
  jack_client_t* probe = jack_client_open("vorlak-probe", JackNoStartServer, &status);
  if (!probe) return false;
  jack_client_close(probe);
  return true;
}

std::unique_ptr<AudioBackend> openJack(Player& player, const AudioChoice& choice,
                                       std::string& error) {
  auto backend = std::make_unique<JackBackend>(player, choice);
  if (!backend->open(error)) return nullptr;
  return backend;
}

void listJack(FILE* out) {
  silenceLibrary();
  jack_status_t status;
  jack_client_t* client = jack_client_open("vorlak-list", JackNoStartServer, &status);
  if (!client) {
    std::fprintf(out, "JACK: no server running\n");
    return;
  }
  std::fprintf(out, "JACK MIDI sources (--midi):\n");
  for (const auto& port : portNames(client, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput))
    std::fprintf(out, "  %s\n", port.c_str());
  std::fprintf(out, "JACK playback ports (connected when it starts):\n");
  for (const auto& port :
       portNames(client, JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput | JackPortIsPhysical))
    std::fprintf(out, "  %s\n", port.c_str());
  jack_client_close(client);
}

}  // namespace vorlak::standalone
