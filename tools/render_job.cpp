#include "tools/render_job.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "tools/progress_bar.h"
#include "tools/wav_writer.h"

namespace vorlak::render {
namespace {

// Renders shorter than this finish before a progress bar would be of any use.
constexpr double kProgressSeconds = 10.0;

// The part after the song's end: it has died away once the output stayed below -90 dBFS for
// 0.2 s; at the limit, a sound that still rings fades out over the last 10 ms rather than
// ending on a click.
class Tail {
 public:
  Tail(std::int64_t end, std::int64_t limit, double rate)
      : end_(end),
        limit_(limit),
        fadeStart_(limit - std::max<std::int64_t>(std::llround(0.01 * rate), 1)),
        quietNeeded_(std::llround(0.2 * rate)) {}

  bool over() const { return quiet_; }
  // The tail cut a sound short: the limit came first, and the fade had something to fade.
  bool cut() const { return !quiet_ && soundInFade_; }

  // How many of the frames rendered from start on belong in the file.
  int keep(const float* left, const float* right, std::int64_t start, int frames) {
    for (int i = static_cast<int>(std::max<std::int64_t>(end_ - start, 0)); i < frames; ++i) {
      quietRun_ = isQuiet(left[i], right[i]) ? quietRun_ + 1 : 0;
      if (quietRun_ >= quietNeeded_) {
        quiet_ = true;
        return i + 1;
      }
    }
    return frames;
  }

  void fade(float* left, float* right, std::int64_t start, int frames) {
    const float length = static_cast<float>(limit_ - fadeStart_);
    for (int i = static_cast<int>(std::max<std::int64_t>(fadeStart_ - start, 0)); i < frames; ++i) {
      soundInFade_ = soundInFade_ || !isQuiet(left[i], right[i]);
      const float gain = static_cast<float>(limit_ - 1 - (start + i)) / length;
      left[i] *= gain;
      right[i] *= gain;
    }
  }

 private:
  static bool isQuiet(float left, float right) {
    constexpr float kQuiet = 3.1622777e-5f;  // -90 dBFS
    return std::fabs(left) < kQuiet && std::fabs(right) < kQuiet;
  }

  std::int64_t end_;
  std::int64_t limit_;
  std::int64_t fadeStart_;
  std::int64_t quietNeeded_;
  std::int64_t quietRun_ = 0;
  bool quiet_ = false;
  bool soundInFade_ = false;
};

// The volume and expression the song last set. All-notes-off also resets them in the
// plug-in, so they are sent again after it: the dying notes keep the song's level.
class ControllerLevels {
 public:
  void observe(const unsigned char* bytes) {
    if ((bytes[0] & 0xF0) != 0xB0) return;
    if (bytes[1] == kVolume) volume_ = bytes[2];
    if (bytes[1] == kExpression) expression_ = bytes[2];
  }
  void restore(host::Plugin& plugin) const {
    if (volume_ >= 0) plugin.sendMidi(0xB0, kVolume, static_cast<unsigned char>(volume_), 0);
    if (expression_ >= 0) {
      plugin.sendMidi(0xB0, kExpression, static_cast<unsigned char>(expression_), 0);
    }
  }

 private:
  static constexpr unsigned char kVolume = 7;
  static constexpr unsigned char kExpression = 11;
  int volume_ = -1;
  int expression_ = -1;
};

void allNotesOff(host::Plugin& plugin, const ControllerLevels& levels) {
  constexpr unsigned char kAllNotesOff = 123;
  for (unsigned char channel = 0; channel < 16; ++channel) {
    plugin.sendMidi(static_cast<unsigned char>(0xB0 | channel), kAllNotesOff, 0, 0);
  }
  levels.restore(plugin);
}

bool isNumber(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(),
                                      [](unsigned char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

bool configurePlugin(host::Plugin& plugin, const RenderOptions& options, std::string* error) {
  const int programs = plugin.effect()->numPrograms;
  if (!options.program.empty()) {
    int program = -1;
    if (isNumber(options.program)) {
      if (options.program.size() <= 4) program = std::stoi(options.program);
      if (program < 0 || program >= programs) {
        *error = "program " + options.program + " is out of range (0 to " +
                 std::to_string(programs - 1) + ")";
        return false;
      }
    } else {
      program = plugin.findProgram(options.program);
      if (program < 0) {
        *error = "unknown program \"" + options.program + "\" (see --list-programs)";
        return false;
      }
    }
    plugin.setProgram(program);
  }
  for (const auto& [name, value] : options.settings) {
    const VstInt32 index = plugin.findParameter(name);
    if (index < 0) {
      *error = "unknown parameter \"" + name + "\" (see --list-params)";
      return false;
    }
    plugin.setParameter(index, value);
  }
  return true;
}

void listPrograms(host::Plugin& plugin, std::FILE* out) {
  for (VstInt32 i = 0; i < plugin.effect()->numPrograms; ++i) {
    std::fprintf(out, "%2d  %s\n", i, plugin.programNameIndexed(i).c_str());
  }
}

void listParameters(host::Plugin& plugin, std::FILE* out) {
  for (VstInt32 i = 0; i < plugin.effect()->numParams; ++i) {
    const std::string name = plugin.parameterName(i);
    std::string display = plugin.parameterDisplay(i);
    if (display.empty()) continue;  // the reserved slots show nothing
    const std::string label = plugin.parameterLabel(i);
    if (!label.empty()) display += " " + label;
    std::fprintf(out, "%2d  %-15s %s\n", i, name.c_str(), display.c_str());
  }
}

SongSelection selectEvents(const MidiSong& song, const RenderOptions& options) {
  SongSelection selection;
  selection.song.endSeconds = song.endSeconds;
  const bool follow = followsProgramChanges(options);
  std::array<bool, 16> noteChannels{};
  bool notesPlay = false;
  for (const TimedMidi& event : song.events) {
    const int kind = event.bytes[0] & 0xF0;
    const std::size_t channel = event.bytes[0] & 0x0F;
    const bool noteOn = kind == 0x90 && event.bytes[2] != 0;
    if (noteOn) noteChannels[channel] = true;
    if (!options.channels[channel]) continue;
    if (kind == 0xC0 && !follow) {
      ++selection.ignoredProgramChanges;
      continue;
    }
    notesPlay = notesPlay || noteOn;
    selection.song.events.push_back(event);
  }
  for (std::size_t channel = 0; channel < noteChannels.size(); ++channel) {
    if (!noteChannels[channel]) continue;
    if (!selection.channelsWithNotes.empty()) selection.channelsWithNotes += ", ";
    selection.channelsWithNotes += std::to_string(channel + 1);
  }
  selection.notesLeftOut = !notesPlay && !selection.channelsWithNotes.empty();
  return selection;
}

bool renderToWav(host::Plugin& plugin, const MidiSong& song, const RenderOptions& options,
                 RenderResult* result, std::string* error) {
  const double rate = options.sampleRate;
  host::MidiSchedule schedule;
  std::vector<host::ScheduledMidi> placed;
  placed.reserve(song.events.size());
  std::int64_t lastFrame = -1;
  // Every event is delivered before all-notes-off, so the levels it restores are the song's
  // last ones.
  ControllerLevels levels;
  for (const TimedMidi& event : song.events) {
    const std::int64_t frame = std::llround(event.seconds * rate);
    placed.push_back({frame, event.bytes[0], event.bytes[1], event.bytes[2]});
    lastFrame = std::max(lastFrame, frame);
    levels.observe(event.bytes);
  }
  schedule.add(placed);
  // The frame after the last event, so that it is delivered, or the song's own end.
  const std::int64_t end = std::max<std::int64_t>(lastFrame + 1, std::llround(song.endSeconds * rate));
  const std::int64_t limit = end + std::llround(options.tailSeconds * rate);

  // Nobody reads the loudness of a quiet render, and its true peak costs as much as the
  // instrument's own render does.
  LoudnessMeter meter;
  if (!options.quiet && !meter.start(options.sampleRate, 2, error)) return false;
  WavWriter writer;
  if (!writer.open(options.outputPath, options.sampleRate, options.format, error)) return false;
  if (!options.quiet) writer.measureWith(&meter);

  std::vector<float> left(static_cast<std::size_t>(options.blockSize));
  std::vector<float> right(static_cast<std::size_t>(options.blockSize));
  float* outputs[2] = {left.data(), right.data()};
  ProgressBar progress(limit,
                       !options.quiet && static_cast<double>(limit) > kProgressSeconds * rate);
  Tail tail(end, limit, rate);
  for (std::int64_t start = 0; start < limit && !tail.over();) {
    // No block straddles the end: all-notes-off acts as soon as it arrives, so it must come
    // in a block of its own, after every note of the song has been delivered.
    const std::int64_t blockEnd = start < end ? end : limit;
    const int frames =
        static_cast<int>(std::min<std::int64_t>(options.blockSize, blockEnd - start));
    if (start == end) allNotesOff(plugin, levels);
    schedule.queue(plugin, start, frames);
    plugin.render(outputs, frames, true);
    const int kept = tail.keep(outputs[0], outputs[1], start, frames);
    tail.fade(outputs[0], outputs[1], start, kept);
    if (!writer.write(outputs[0], outputs[1], kept, error)) return false;
    start += kept;
    progress.update(start);
  }
  if (!writer.commit(error)) return false;
  result->frames = writer.framesWritten();
  result->loudness = meter.result();
  result->clippedSamples = writer.clippedSamples();
  result->nonFiniteSamples = writer.nonFiniteSamples();
  result->tailCut = tail.cut();
  return true;
}

}  // namespace vorlak::render
