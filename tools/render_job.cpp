#include "tools/render_job.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "tools/progress_bar.h"
#include "tools/wav_writer.h"

namespace vorlak::render {
namespace {

// Renders shorter than this finish before a progress bar would be of any use.
constexpr double kProgressSeconds = 10.0;

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
    if (name.empty()) continue;  // reserved slots
    std::string display = plugin.parameterDisplay(i);
    const std::string label = plugin.parameterLabel(i);
    if (!label.empty()) display += " " + label;
    std::fprintf(out, "%2d  %-15s %s\n", i, name.c_str(), display.c_str());
  }
}

bool renderToWav(host::Plugin& plugin, const MidiSequence& events, const RenderOptions& options,
                 std::string* error) {
  const double rate = options.sampleRate;
  std::vector<host::ScheduledMidi> placed;
  placed.reserve(events.size());
  std::int64_t end = 0;
  for (const TimedMidi& event : events) {
    const std::int64_t frame = std::llround(event.seconds * rate);
    placed.push_back({frame, event.bytes[0], event.bytes[1], event.bytes[2]});
    end = std::max(end, frame + 1);
  }
  host::MidiSchedule schedule;
  schedule.add(placed);
  const std::int64_t total = end + std::llround(options.tailSeconds * rate);

  WavWriter writer;
  if (!writer.open(options.outputPath, options.sampleRate, options.format, error)) return false;

  std::vector<float> left(static_cast<std::size_t>(options.blockSize));
  std::vector<float> right(static_cast<std::size_t>(options.blockSize));
  float* outputs[2] = {left.data(), right.data()};
  ProgressBar progress(total, static_cast<double>(total) > kProgressSeconds * rate);
  for (std::int64_t start = 0; start < total;) {
    const int frames = static_cast<int>(std::min<std::int64_t>(options.blockSize, total - start));
    schedule.queue(plugin, start, frames);
    plugin.render(outputs, frames, true);
    if (!writer.write(left.data(), right.data(), frames, error)) return false;
    start += frames;
    progress.update(start);
  }
  if (!writer.commit(error)) return false;
  if (writer.nonFiniteSamples() > 0) {
    std::fprintf(stderr, "vorlak-render: warning: %lld non-finite samples written as silence\n",
                 static_cast<long long>(writer.nonFiniteSamples()));
  }
  return true;
}

}  // namespace vorlak::render
