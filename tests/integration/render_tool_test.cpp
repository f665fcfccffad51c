// vorlak-render as a user runs it: the demo and MIDI files become WAV files of the right
// shape and length, measured as loudness meters measure them, and every kind of bad input
// ends with one line of error, a failing exit status and no file left behind. Also the
// factory bank as the tool plays it: the designed programs at one loudness.
#include <ebur128.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace vorlak::test {
namespace {

namespace fs = std::filesystem;

struct RunResult {
  int status = -1;  // exit status, or -1 when the process did not exit normally
  std::string out;
  std::string err;
};

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

struct WavInfo {
  bool readable = false;
  int channels = 0;
  int rate = 0;
  int format = 0;
  std::int64_t frames = 0;
  std::vector<float> samples;  // interleaved
};

WavInfo readWav(const fs::path& path) {
  WavInfo wav;
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) return wav;
  wav.readable = true;
  wav.channels = info.channels;
  wav.rate = info.samplerate;
  wav.format = info.format;
  wav.frames = info.frames;
  wav.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
  sf_readf_float(file, wav.samples.data(), info.frames);
  sf_close(file);
  return wav;
}

float peak(const std::vector<float>& samples) {
  float value = 0.0f;
  for (float s : samples) value = std::max(value, std::fabs(s));
  return value;
}

float peakBetween(const WavInfo& wav, double fromSeconds, double toSeconds) {
  const auto frame = [&](double seconds) {
    return std::clamp<std::int64_t>(std::llround(seconds * wav.rate), 0, wav.frames);
  };
  const auto begin = wav.samples.begin() + frame(fromSeconds) * wav.channels;
  const auto end = wav.samples.begin() + frame(toSeconds) * wav.channels;
  return peak(std::vector<float>(begin, end));
}

// Integrated loudness (LUFS) and sample peak of a file, measured here rather than trusted
// from the tool.
struct Measured {
  double lufs = 0.0;
  double samplePeak = 0.0;
};

Measured measure(const WavInfo& wav) {
  Measured result;
  ebur128_state* meter =
      ebur128_init(static_cast<unsigned>(wav.channels), static_cast<unsigned long>(wav.rate),
                   EBUR128_MODE_I | EBUR128_MODE_SAMPLE_PEAK);
  if (meter == nullptr) return result;
  ebur128_add_frames_float(meter, wav.samples.data(), static_cast<std::size_t>(wav.frames));
  ebur128_loudness_global(meter, &result.lufs);
  for (int channel = 0; channel < wav.channels; ++channel) {
    double channelPeak = 0.0;
    ebur128_sample_peak(meter, static_cast<unsigned>(channel), &channelPeak);
    result.samplePeak = std::max(result.samplePeak, channelPeak);
  }
  ebur128_destroy(&meter);
  return result;
}

// The line vorlak-render prints after a render; whole when the text is that line alone.
struct Summary {
  bool whole = false;
  double seconds = 0.0;
  double lufs = 0.0;
  double rangeLu = 0.0;
  double samplePeakDb = 0.0;
  double truePeakDb = 0.0;
};

Summary parseSummary(const std::string& text) {
  Summary summary;
  const std::size_t line = text.find("vorlak-render: ");
  if (line == std::string::npos) return summary;
  int used = 0;
  const int fields = std::sscanf(
      text.c_str() + line,
      "vorlak-render: %lf s, integrated %lf LUFS, loudness range %lf LU, sample peak %lf dBFS, "
      "true peak %lf dBTP\n%n",
      &summary.seconds, &summary.lufs, &summary.rangeLu, &summary.samplePeakDb, &summary.truePeakDb,
      &used);
  summary.whole = fields == 5 && line == 0 && line + used == text.size();
  return summary;
}

// A standard MIDI file built byte by byte.
class MidiBuilder {
 public:
  void add(std::uint32_t delta, std::initializer_list<unsigned char> bytes) {
    std::vector<unsigned char> q;
    q.push_back(delta & 0x7F);
    while (delta >>= 7) q.insert(q.begin(), 0x80 | (delta & 0x7F));
    track_.insert(track_.end(), q.begin(), q.end());
    track_.insert(track_.end(), bytes);
  }
  void tempo(std::uint32_t delta, std::uint32_t microsPerQuarter) {
    add(delta, {0xFF, 0x51, 0x03, static_cast<unsigned char>(microsPerQuarter >> 16),
                static_cast<unsigned char>(microsPerQuarter >> 8),
                static_cast<unsigned char>(microsPerQuarter)});
  }
  void endTrack(std::uint32_t delta = 0) {
    add(delta, {0xFF, 0x2F, 0x00});
    tracks_.push_back(track_);
    track_.clear();
  }
  std::vector<unsigned char> file(int format, int ppqn) const {
    std::vector<unsigned char> out = {'M',
                                      'T',
                                      'h',
                                      'd',
                                      0,
                                      0,
                                      0,
                                      6,
                                      0,
                                      static_cast<unsigned char>(format),
                                      0,
                                      static_cast<unsigned char>(tracks_.size()),
                                      static_cast<unsigned char>(ppqn >> 8),
                                      static_cast<unsigned char>(ppqn)};
    for (const auto& track : tracks_) {
      const auto n = static_cast<std::uint32_t>(track.size());
      out.insert(out.end(), {'M', 'T', 'r', 'k', static_cast<unsigned char>(n >> 24),
                             static_cast<unsigned char>(n >> 16),
                             static_cast<unsigned char>(n >> 8), static_cast<unsigned char>(n)});
      out.insert(out.end(), track.begin(), track.end());
    }
    return out;
  }

 private:
  std::vector<unsigned char> track_;
  std::vector<std::vector<unsigned char>> tracks_;
};

// One quarter at 120 BPM, then 60 BPM: two notes ending 1.5 s in.
std::vector<unsigned char> twoTempoFile(int format) {
  MidiBuilder midi;
  if (format == 1) {
    midi.tempo(0, 500000);
    midi.tempo(96, 1000000);
    midi.endTrack();
    midi.add(0, {0x90, 64, 100});
    midi.add(96, {0x80, 64, 0});
    midi.add(0, {0x90, 67, 100});
    midi.add(96, {0x80, 67, 0});
    midi.endTrack();
  } else {
    midi.tempo(0, 500000);
    midi.add(0, {0x90, 64, 100});
    midi.tempo(96, 1000000);
    midi.add(0, {0x80, 64, 0});
    midi.add(0, {0x90, 67, 100});
    midi.add(96, {0x80, 67, 0});
    midi.endTrack();
  }
  return midi.file(format, 96);
}

// At 120 BPM: channel 1 selects program 21 and plays a note from 0 s to 0.5 s, channel 2
// one from 0.25 s to 0.75 s, channel 10 (the drums) one from 1 s to 1.25 s; the track ends
// at 2 s, well after its last note.
std::vector<unsigned char> threeChannelFile() {
  MidiBuilder midi;
  midi.add(0, {0xC0, 21});
  midi.add(0, {0x90, 52, 100});
  midi.add(48, {0x91, 64, 100});
  midi.add(48, {0x80, 52, 0});
  midi.add(48, {0x81, 64, 0});
  midi.add(48, {0x99, 40, 100});
  midi.add(48, {0x89, 40, 0});
  midi.endTrack(144);
  return midi.file(0, 96);
}

class RenderTool : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "vorlak-render-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root = pattern;
    work = root / "work";
    logs = root / "logs";
    fs::create_directories(work);
    fs::create_directories(logs);
  }
  void TearDown() override { fs::remove_all(root); }

  // Starts vorlak-render with its output and errors going to log files named after name.
  pid_t start(const std::vector<std::string>& args, const std::string& name) {
    const fs::path outPath = logs / (name + ".out");
    const fs::path errPath = logs / (name + ".err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<std::string> all = {VORLAK_RENDER_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, VORLAK_RENDER_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
  }

  RunResult finish(pid_t pid, const std::string& name) {
    RunResult result;
    if (pid <= 0) return result;
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = readAll(logs / (name + ".out"));
    result.err = readAll(logs / (name + ".err"));
    return result;
  }

  RunResult run(const std::vector<std::string>& args) { return finish(start(args, "run"), "run"); }

  // Runs the commands two at a time, for the renders that take most of this suite's time.
  std::vector<RunResult> runPairs(const std::vector<std::vector<std::string>>& commands) {
    std::vector<RunResult> results;
    for (std::size_t first = 0; first < commands.size(); first += 2) {
      const std::size_t count = std::min<std::size_t>(2, commands.size() - first);
      pid_t pids[2] = {};
      for (std::size_t k = 0; k < count; ++k) {
        pids[k] = start(commands[first + k], "pair" + std::to_string(k));
      }
      for (std::size_t k = 0; k < count; ++k) {
        results.push_back(finish(pids[k], "pair" + std::to_string(k)));
      }
    }
    return results;
  }

  fs::path writeFile(const std::string& name, const std::vector<unsigned char>& bytes) {
    const fs::path path = root / name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  std::vector<std::string> workFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(work)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  // A failed run prints exactly one line, exits non-zero, and leaves the work folder as it was.
  void expectCleanFailure(const std::vector<std::string>& args,
                          const std::vector<std::string>& filesBefore = {}) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const RunResult result = run(args);
    EXPECT_GT(result.status, 0);
    ASSERT_FALSE(result.err.empty());
    EXPECT_EQ(result.err.back(), '\n') << result.err;
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    EXPECT_EQ(result.err.find("Assertion"), std::string::npos) << result.err;
    EXPECT_EQ(workFiles(), filesBefore);
  }

  fs::path root;
  fs::path work;
  fs::path logs;
};

TEST_F(RenderTool, DemoBecomesAStereoWav) {
  const fs::path wav = work / "demo.wav";
  const RunResult result = run({"-o", wav.string()});
  ASSERT_EQ(result.status, 0) << result.err;
  // One line of measurements: length, loudness, range and both peaks, as a meter shows them.
  const Summary summary = parseSummary(result.err);
  EXPECT_TRUE(summary.whole) << result.err;
  EXPECT_GT(summary.seconds, 20.0);
  EXPECT_LT(summary.lufs, 0.0);
  EXPECT_GE(summary.rangeLu, 0.0);
  EXPECT_LE(summary.samplePeakDb, summary.truePeakDb + 0.05);
  const RunResult quiet = run({"-o", (work / "quiet.wav").string(), "--quiet"});
  ASSERT_EQ(quiet.status, 0) << quiet.err;
  EXPECT_EQ(quiet.err, "");
  std::filesystem::remove(work / "quiet.wav");
  const WavInfo info = readWav(wav);
  ASSERT_TRUE(info.readable);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.rate, 44100);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  EXPECT_GT(info.frames, 8 * 44100);  // a few bars and the tail
  EXPECT_GT(peak(info.samples), 0.01f);
  EXPECT_EQ(workFiles(), std::vector<std::string>{"demo.wav"});
}

TEST_F(RenderTool, DemoFollowsRateTempoAndTail) {
  const RunResult fast = run({"-o", (work / "fast.wav").string(), "--tail", "0"});
  const RunResult slow = run({"-o", (work / "slow.wav").string(), "--tail", "0", "-t", "60"});
  const RunResult tail = run({"-o", (work / "tail.wav").string(), "--tail", "1.5"});
  const RunResult rate =
      run({"-o", (work / "rate.wav").string(), "--tail", "0", "-r", "48000", "--float"});
  ASSERT_EQ(fast.status, 0) << fast.err;
  ASSERT_EQ(slow.status, 0) << slow.err;
  ASSERT_EQ(tail.status, 0) << tail.err;
  ASSERT_EQ(rate.status, 0) << rate.err;
  const WavInfo fastWav = readWav(work / "fast.wav");
  const WavInfo slowWav = readWav(work / "slow.wav");
  const WavInfo tailWav = readWav(work / "tail.wav");
  const WavInfo rateWav = readWav(work / "rate.wav");
  // Without a tail the phrase ends one frame after its last event; half the tempo doubles
  // that time. Event times are rounded to frames, so each relation holds to within a frame.
  const double fastSeconds = static_cast<double>(fastWav.frames - 1) / 44100.0;
  EXPECT_GT(fastSeconds, 4.0);
  EXPECT_NEAR(static_cast<double>(slowWav.frames - 1), 2.0 * (fastWav.frames - 1), 2.0);
  // The tail runs until 0.2 s stayed quiet, for at most the time given.
  EXPECT_GE(tailWav.frames, fastWav.frames + 8820);
  EXPECT_LE(tailWav.frames, fastWav.frames + 66150);
  EXPECT_EQ(rateWav.rate, 48000);
  EXPECT_EQ(rateWav.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  EXPECT_NEAR(static_cast<double>(rateWav.frames - 1), fastSeconds * 48000.0, 1.0);
}

TEST_F(RenderTool, MidiFileFollowsItsTempoMap) {
  const fs::path type1 = writeFile("type1.mid", twoTempoFile(1));
  const fs::path type0 = writeFile("type0.mid", twoTempoFile(0));
  const RunResult one =
      run({type1.string(), "-o", (work / "one.wav").string(), "--tail", "0.5", "-b", "100"});
  const RunResult zero =
      run({type0.string(), "-o", (work / "zero.wav").string(), "--tail", "0.5", "-b", "100"});
  ASSERT_EQ(one.status, 0) << one.err;
  ASSERT_EQ(zero.status, 0) << zero.err;
  const WavInfo oneWav = readWav(work / "one.wav");
  const WavInfo zeroWav = readWav(work / "zero.wav");
  // Last event at 0.5 s + 1 s, plus one frame, plus a tail of 0.2 s to 0.5 s.
  EXPECT_GE(oneWav.frames, 66150 + 1 + 8820);
  EXPECT_LE(oneWav.frames, 66150 + 1 + 22050);
  EXPECT_EQ(oneWav.channels, 2);
  EXPECT_GT(peak(oneWav.samples), 0.0f);
  // The same events in one track or two make the same sound.
  EXPECT_EQ(zeroWav.frames, oneWav.frames);
  EXPECT_EQ(zeroWav.samples, oneWav.samples);
}

TEST_F(RenderTool, MidiFileChannelsProgramChangesAndTail) {
  const fs::path song = writeFile("song.mid", threeChannelFile());
  const auto render = [&](const std::string& name, std::vector<std::string> args) {
    args.insert(args.begin(), {song.string(), "--float", "-o", (work / name).string()});
    return run(args);
  };
  constexpr double kRate = 44100.0;
  constexpr std::int64_t kTrackEnd = 88200;

  // "POWER Metal" latches its notes: they sound on to the end of the track, then, after
  // all-notes-off, die away long before the tail's limit. The chosen program stays.
  const RunResult metal = render("metal.wav", {"-p", "0"});
  ASSERT_EQ(metal.status, 0) << metal.err;
  EXPECT_NE(metal.err.find("1 program change in the file ignored"), std::string::npos) << metal.err;
  const WavInfo metalWav = readWav(work / "metal.wav");
  EXPECT_GT(peakBetween(metalWav, 1.8, 2.0), 0.01f);
  EXPECT_GE(metalWav.frames, kTrackEnd + 8820);
  EXPECT_LT(metalWav.frames, kTrackEnd + 5 * 44100);
  EXPECT_LT(peakBetween(metalWav, metalWav.frames / kRate - 0.05, metalWav.frames / kRate), 0.001f);
  EXPECT_EQ(metal.err.find("faded out"), std::string::npos) << metal.err;

  // The same command writes the same bytes.
  ASSERT_EQ(render("again.wav", {"-p", "0"}).status, 0);
  EXPECT_EQ(readAll(work / "again.wav"), readAll(work / "metal.wav"));

  // Channel 10 plays only when chosen.
  ASSERT_EQ(render("melody.wav", {"-p", "0", "--channel", "1", "--channel", "2"}).status, 0);
  EXPECT_EQ(readWav(work / "melody.wav").samples, metalWav.samples);
  ASSERT_EQ(render("drums.wav", {"-p", "0", "--channel", "10"}).status, 0);
  const WavInfo drums = readWav(work / "drums.wav");
  EXPECT_EQ(peakBetween(drums, 0.0, 0.99), 0.0f);
  EXPECT_GT(peakBetween(drums, 1.0, 1.5), 0.01f);
  ASSERT_EQ(render("all.wav", {"-p", "0", "--channel", "all"}).status, 0);
  EXPECT_NE(readWav(work / "all.wav").samples, metalWav.samples);

  // Followed, the file's program change selects "BASS Ebass", as -p 21 does.
  const RunResult followed = render("followed.wav", {"-p", "0", "--follow-program-changes"});
  ASSERT_EQ(followed.status, 0) << followed.err;
  EXPECT_EQ(followed.err.find("ignored"), std::string::npos) << followed.err;
  ASSERT_EQ(render("ebass.wav", {"-p", "21"}).status, 0);
  const WavInfo followedWav = readWav(work / "followed.wav");
  EXPECT_EQ(followedWav.samples, readWav(work / "ebass.wav").samples);
  EXPECT_NE(followedWav.samples, metalWav.samples);

  // A limit that cuts the sound fades it out over 10 ms instead of ending on a click.
  const RunResult cut = render("cut.wav", {"-p", "0", "--tail", "0"});
  ASSERT_EQ(cut.status, 0) << cut.err;
  EXPECT_NE(cut.err.find("faded out"), std::string::npos) << cut.err;
  const WavInfo cutWav = readWav(work / "cut.wav");
  ASSERT_EQ(cutWav.frames, kTrackEnd);
  EXPECT_GT(peakBetween(cutWav, 1.9, 1.99), 0.01f);
  EXPECT_LT(peakBetween(cutWav, 1.998, 2.0), 0.25f * peakBetween(cutWav, 1.9, 1.99));
  EXPECT_EQ(cutWav.samples.back(), 0.0f);
}

TEST_F(RenderTool, ProgramByNameOrNumber) {
  ASSERT_EQ(run({"-o", (work / "name.wav").string(), "-p", "BASS Ebass", "--tail", "0"}).status, 0);
  ASSERT_EQ(run({"-o", (work / "number.wav").string(), "-p", "21", "--tail", "0"}).status, 0);
  const WavInfo byName = readWav(work / "name.wav");
  EXPECT_GT(byName.frames, 0);
  EXPECT_EQ(byName.samples, readWav(work / "number.wav").samples);
}

TEST_F(RenderTool, ListsProgramsAndParameters) {
  const RunResult programs = run({"--list-programs"});
  ASSERT_EQ(programs.status, 0) << programs.err;
  EXPECT_NE(programs.out.find("63  FX Sunshine Reggae\n"), std::string::npos);
  EXPECT_NE(programs.out.find(" 0  POWER Metal\n"), std::string::npos);
  const RunResult params = run({"--list-params", "-p", "21", "--set", "Drive=0.5"});
  ASSERT_EQ(params.status, 0) << params.err;
  EXPECT_NE(params.out.find("Strings"), std::string::npos);
  EXPECT_NE(params.out.find("Ebass"), std::string::npos);
  EXPECT_NE(params.out.find("Drive           50%"), std::string::npos) << params.out;
  EXPECT_EQ(workFiles(), std::vector<std::string>{});
  const RunResult help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage"), std::string::npos);
}

TEST_F(RenderTool, MissingOrCorruptMidiFiles) {
  const std::string out = (work / "x.wav").string();
  expectCleanFailure({(root / "missing.mid").string(), "-o", out});
  expectCleanFailure({root.string(), "-o", out});
  std::vector<unsigned char> truncated = twoTempoFile(1);
  truncated.resize(truncated.size() - 9);
  expectCleanFailure({writeFile("truncated.mid", truncated).string(), "-o", out});
  expectCleanFailure({writeFile("empty.mid", {}).string(), "-o", out});
  expectCleanFailure({writeFile("text.mid", {'h', 'e', 'l', 'l', 'o'}).string(), "-o", out});
  std::vector<unsigned char> badStatus = twoTempoFile(0);
  badStatus[23] = 0x42;  // the first status becomes a data byte with no running status
  expectCleanFailure({writeFile("status.mid", badStatus).string(), "-o", out});
  std::vector<unsigned char> type2 = twoTempoFile(1);
  type2[9] = 2;
  expectCleanFailure({writeFile("type2.mid", type2).string(), "-o", out});
  std::vector<unsigned char> overcounted = twoTempoFile(1);
  overcounted[10] = 0x7F;  // the header claims 32514 tracks
  const fs::path overcountedPath = writeFile("overcounted.mid", overcounted);
  expectCleanFailure({overcountedPath.string(), "-o", out});
  EXPECT_NE(run({overcountedPath.string(), "-o", out})
                .err.find("header announces 32514 tracks, the file holds 2"),
            std::string::npos);
}

TEST_F(RenderTool, UnknownProgramsAndParameters) {
  const std::string out = (work / "x.wav").string();
  expectCleanFailure({"-o", out, "-p", "No Such Program"});
  expectCleanFailure({"-o", out, "-p", "64"});
  expectCleanFailure({"-o", out, "-p", "-1"});
  expectCleanFailure({"-o", out, "-p", "99999999999999999999"});
  expectCleanFailure({"-o", out, "--set", "No Such Parameter=0.5"});
  expectCleanFailure({"-o", out, "--set", "=0.5"});
  expectCleanFailure({"-o", out, "--set", "Drive=1.5"});
  expectCleanFailure({"-o", out, "--set", "Drive=nan"});
  expectCleanFailure({"-o", out, "--set", "Drive"});
}

TEST_F(RenderTool, BadNumbersAndOptions) {
  const std::string out = (work / "x.wav").string();
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"-r", "abc"},
                                             {"-r", "44100x"},
                                             {"-r", "0"},
                                             {"-r", "-44100"},
                                             {"-b", "0"},
                                             {"-b", "-5"},
                                             {"-b", "1e3"},
                                             {"-t", "-5"},
                                             {"-t", "inf"},
                                             {"--tail", "nan"},
                                             {"--channel", "0"},
                                             {"--channel", "17"},
                                             {"--channel", "drums"},
                                             {"--bogus"},
                                             {"-o"},
                                             {"a.mid", "b.mid"}}) {
    std::vector<std::string> all = args;
    if (args.front() != "-o") all.insert(all.begin(), {"-o", out});
    expectCleanFailure(all);
  }
}

TEST_F(RenderTool, UnwritableOutputs) {
  expectCleanFailure({"-o", "/nonexistent/x.wav"});
  expectCleanFailure({"-o", work.string()});
  expectCleanFailure({"-o", (work / "missing" / "x.wav").string()});
  expectCleanFailure({"--plugin", (root / "missing.so").string(), "-o", (work / "x.wav").string()});
}

TEST_F(RenderTool, AFailedRunKeepsTheOldFile) {
  const fs::path keep = work / "keep.wav";
  std::ofstream(keep) << "old";
  expectCleanFailure({"-o", keep.string(), "-p", "No Such Program"}, {"keep.wav"});
  expectCleanFailure({writeFile("bad.mid", {'M', 'T', 'h', 'd'}).string(), "-o", keep.string()},
                     {"keep.wav"});
  EXPECT_EQ(readAll(keep), "old");
}

// The designed programs play the demo phrase at one loudness, -18 LUFS within 4 LU, and
// never above full scale. The six published programs keep their published values, loud as
// some of them are.
TEST_F(RenderTool, DesignedProgramsPlayTheDemoAtOneLoudness) {
  const std::set<int> kPublished = {0, 21, 28, 34, 46, 59};
  std::vector<int> programs;
  std::vector<std::vector<std::string>> commands;
  for (int program = 0; program < 64; ++program) {
    if (kPublished.count(program) != 0) continue;
    programs.push_back(program);
    commands.push_back({"-p", std::to_string(program), "--float", "-o",
                        (work / (std::to_string(program) + ".wav")).string()});
  }
  const std::vector<RunResult> results = runPairs(commands);
  for (std::size_t i = 0; i < programs.size(); ++i) {
    SCOPED_TRACE("program " + std::to_string(programs[i]));
    ASSERT_EQ(results[i].status, 0) << results[i].err;
    const Measured measured = measure(readWav(work / (std::to_string(programs[i]) + ".wav")));
    EXPECT_NEAR(measured.lufs, -18.0, 4.0);
    EXPECT_LE(measured.samplePeak, 1.0);
    // The tool reports the loudness of what it wrote.
    const Summary summary = parseSummary(results[i].err);
    ASSERT_TRUE(summary.whole) << results[i].err;
    EXPECT_NEAR(summary.lufs, measured.lufs, 0.051);
  }
  // "BASS Ebass" goes past full scale on the demo: the 16-bit file says how much clipped.
  const RunResult clipped = run({"-p", "21", "-o", (work / "ebass.wav").string()});
  ASSERT_EQ(clipped.status, 0) << clipped.err;
  long long clippedSamples = 0;
  const std::size_t warning = clipped.err.find("vorlak-render: warning: ");
  ASSERT_NE(warning, std::string::npos) << clipped.err;
  ASSERT_EQ(std::sscanf(clipped.err.c_str() + warning, "vorlak-render: warning: %lld of",
                        &clippedSamples),
            1);
  EXPECT_GT(clippedSamples, 0);
  EXPECT_NE(clipped.err.find("clipped", warning), std::string::npos);
  EXPECT_NE(clipped.err.find("--float", warning), std::string::npos);
}

}  // namespace
}  // namespace vorlak::test
