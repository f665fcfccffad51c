#include "tools/render_options.h"

#include <getopt.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace vorlak::render {
namespace {

enum LongOnly {
  kPlugin = 256,
  kSet,
  kListPrograms,
  kListParams,
  kTail,
  kFloat,
  kChannel,
  kFollowProgramChanges,
  kVersion,
};

bool parseInt(const char* text, long low, long high, long* out) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || value < low || value > high) return false;
  *out = value;
  return true;
}

bool parseReal(const char* text, double low, double high, double* out) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text, &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(value) || value < low || value > high) {
    return false;
  }
  *out = value;
  return true;
}

bool parseSetting(const std::string& text, RenderOptions* options, std::string* error) {
  const auto equals = text.rfind('=');
  if (equals == std::string::npos || equals == 0) {
    *error = "--set expects \"Name=value\", got \"" + text + "\"";
    return false;
  }
  double value = 0.0;
  if (!parseReal(text.c_str() + equals + 1, 0.0, 1.0, &value)) {
    *error = "--set " + text + ": the value must be a number from 0 to 1";
    return false;
  }
  options->settings.emplace_back(text.substr(0, equals), static_cast<float>(value));
  return true;
}

#if defined(_WIN32)
constexpr const char* kModuleFile = "vorlak.dll";
#else
constexpr const char* kModuleFile = "vorlak.so";
#endif

bool parseChannel(const char* text, RenderOptions* options, std::string* error) {
  if (!options->channelsChosen) options->channels.fill(false);
  options->channelsChosen = true;
  if (std::string(text) == "all") {
    options->channels.fill(true);
    return true;
  }
  long channel = 0;
  if (!parseInt(text, 1, 16, &channel)) {
    *error = std::string("bad channel \"") + text + "\" (1 to 16, or all)";
    return false;
  }
  options->channels[static_cast<std::size_t>(channel - 1)] = true;
  return true;
}

}  // namespace

bool followsProgramChanges(const RenderOptions& options) {
  return options.followProgramChanges || (options.program.empty() && options.settings.empty());
}

std::string usageText(const char* program) {
  return std::string("Usage: ") + program +
         " [options] [FILE.mid]\n"
         "Plays a standard MIDI file (or, without one, a built-in demo phrase) through the\n"
         "Vorlak plug-in and writes a stereo WAV file.\n"
         "\n"
         "  -o, --output FILE     WAV file to write (default vorlak-demo.wav)\n"
         "  -p, --program N|NAME  program number 0-63 or exact program name\n"
         "  -r, --rate HZ         sample rate (default 44100)\n"
         "  -b, --block N         frames per process call (default 512)\n"
         "  -t, --tempo BPM       host tempo, also the demo's tempo (default 120)\n"
         "      --set NAME=VALUE  set a parameter by its exact name to 0..1 (repeatable)\n"
         "      --channel N|all   MIDI channel 1-16 that plays (repeatable; default all but 10)\n"
         "      --follow-program-changes\n"
         "                        keep the file's program changes, which -p and --set\n"
         "                        otherwise turn off\n"
         "      --tail SECONDS    the most rendered after the end while the sound dies away\n"
         "                        (default 10; stops once 0.2 s stayed below -90 dBFS)\n"
         "      --float           write 32-bit float samples instead of 16-bit\n"
         "  -q, --quiet           no progress bar, loudness summary or notes (warnings show)\n"
         "      --plugin PATH     plug-in module (default " +
         kModuleFile +
         " beside this program, else the installed one)\n"
         "      --list-programs   print the program names and exit\n"
         "      --list-params     print the parameters with their current values and exit\n"
         "  -h, --help            show this text\n"
         "      --version         print the version and exit\n";
}

bool parseRenderOptions(int argc, char** argv, RenderOptions* options, std::string* error) {
  static const option kLong[] = {
      {"output", required_argument, nullptr, 'o'},
      {"program", required_argument, nullptr, 'p'},
      {"rate", required_argument, nullptr, 'r'},
      {"block", required_argument, nullptr, 'b'},
      {"tempo", required_argument, nullptr, 't'},
      {"help", no_argument, nullptr, 'h'},
      {"version", no_argument, nullptr, kVersion},
      {"plugin", required_argument, nullptr, kPlugin},
      {"set", required_argument, nullptr, kSet},
      {"tail", required_argument, nullptr, kTail},
      {"float", no_argument, nullptr, kFloat},
      {"channel", required_argument, nullptr, kChannel},
      {"follow-program-changes", no_argument, nullptr, kFollowProgramChanges},
      {"quiet", no_argument, nullptr, 'q'},
      {"list-programs", no_argument, nullptr, kListPrograms},
      {"list-params", no_argument, nullptr, kListParams},
      {nullptr, 0, nullptr, 0},
  };
  opterr = 0;
  optind = 1;
  for (;;) {
    const int previousIndex = optind;
    const int code = getopt_long(argc, argv, ":o:p:r:b:t:hq", kLong, nullptr);
    if (code == -1) break;
    long number = 0;
    switch (code) {
      case 'o':
        if (*optarg == '\0') {
          *error = "--output needs a file name";
          return false;
        }
        options->outputPath = optarg;
        break;
      case 'p':
        options->program = optarg;
        break;
      case 'r':
        if (!parseInt(optarg, 1000, 768000, &number)) {
          *error = std::string("bad sample rate \"") + optarg + "\" (1000 to 768000 Hz)";
          return false;
        }
        options->sampleRate = static_cast<int>(number);
        break;
      case 'b':
        if (!parseInt(optarg, 1, 65536, &number)) {
          *error = std::string("bad block size \"") + optarg + "\" (1 to 65536 frames)";
          return false;
        }
        options->blockSize = static_cast<int>(number);
        break;
      case 't':
        if (!parseReal(optarg, 1.0, 1000.0, &options->tempo)) {
          *error = std::string("bad tempo \"") + optarg + "\" (1 to 1000 BPM)";
          return false;
        }
        break;
      case 'h':
        options->help = true;
        break;
      case kVersion:
        options->version = true;
        break;
      case kPlugin:
        options->pluginPath = optarg;
        break;
      case kSet:
        if (!parseSetting(optarg, options, error)) return false;
        break;
      case kTail:
        if (!parseReal(optarg, 0.0, 600.0, &options->tailSeconds)) {
          *error = std::string("bad tail \"") + optarg + "\" (0 to 600 seconds)";
          return false;
        }
        break;
      case kFloat:
        options->format = SampleFormat::Float32;
        break;
      case kChannel:
        if (!parseChannel(optarg, options, error)) return false;
        break;
      case kFollowProgramChanges:
        options->followProgramChanges = true;
        break;
      case 'q':
        options->quiet = true;
        break;
      case kListPrograms:
        options->listPrograms = true;
        break;
      case kListParams:
        options->listParams = true;
        break;
      case ':':
        *error = std::string("option ") + argv[previousIndex] + " needs a value";
        return false;
      default:
        *error = std::string("unknown option ") + argv[previousIndex];
        return false;
    }
  }
  if (optind < argc) options->midiPath = argv[optind++];
  if (optind < argc) {
    *error = std::string("unexpected argument ") + argv[optind] + " (only one MIDI file)";
    return false;
  }
  return true;
}

}  // namespace vorlak::render
