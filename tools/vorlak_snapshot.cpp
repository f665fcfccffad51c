// vorlak-snapshot: draws the Vorlak editor panel without a display and writes it as a PNG.
// The instance is made in this process and its editor opened on the headless window system,
// so the picture is exactly what the panel draws in a host.
#include <getopt.h>
#include <png.h>

#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "editor/platform/headless/headless_platform.h"
#include "editor/toolkit/gui_editor.h"
#include "editor/toolkit/ui_scale.h"
#include "formats/vst2/effect.h"
#include "formats/vst2/effect_base.h"

namespace {

using vorlak::Surface;

struct Options {
  std::string program;  // number or exact name; empty keeps program 0
  std::string output = "vorlak-panel.png";
  std::vector<std::pair<std::string, float>> settings;
  double scale = 0.0;  // 0: as a host would open it (VORLAK_UI_SCALE, else 1)
  bool raw = false;
  bool help = false;
};

const char kUsage[] =
    "Usage: vorlak-snapshot [options]\n"
    "Draws the Vorlak editor panel, as a host would show it, into a PNG file.\n"
    "\n"
    "  -p, --program N|NAME  program to show, by number (0 to 63) or exact name (default 0)\n"
    "  -o, --output FILE     PNG file to write (default vorlak-panel.png)\n"
    "      --set NAME=VALUE  set a parameter by its exact name to 0..1 (repeatable)\n"
    "      --scale S         draw the panel at scale S (1, 1.25, 1.5, 1.75, 2, 2.5 or 3;\n"
    "                        other values take the nearest), as VORLAK_UI_SCALE=S would\n"
    "      --raw             write the bare pixels instead: 32-bit little-endian words\n"
    "                        0x00RRGGBB, rows top to bottom, no header (the layout of a\n"
    "                        top-down Windows DIB)\n"
    "  -h, --help            show this text\n";

int fail(const std::string& message) {
  std::fprintf(stderr, "vorlak-snapshot: %s\n", message.c_str());
  return 1;
}

bool parseOptions(int argc, char** argv, Options* options, std::string* error) {
  enum { kSet = 256, kRaw, kScale };
  static const option kLong[] = {
      {"program", required_argument, nullptr, 'p'},
      {"output", required_argument, nullptr, 'o'},
      {"set", required_argument, nullptr, kSet},
      {"raw", no_argument, nullptr, kRaw},
      {"scale", required_argument, nullptr, kScale},
      {"help", no_argument, nullptr, 'h'},
      {nullptr, 0, nullptr, 0},
  };
  opterr = 0;
  for (;;) {
    const int previous = optind;
    const int code = getopt_long(argc, argv, ":p:o:h", kLong, nullptr);
    if (code == -1) break;
    switch (code) {
      case 'p':
        options->program = optarg;
        break;
      case 'o':
        options->output = optarg;
        if (options->output.empty()) {
          *error = "--output needs a file name";
          return false;
        }
        break;
      case 'h':
        options->help = true;
        break;
      case kRaw:
        options->raw = true;
        break;
      case kScale: {
        char* end = nullptr;
        const double value = std::strtod(optarg, &end);
        options->scale = end != optarg && *end == '\0' ? vorlak::snapScale(value) : 0.0;
        if (options->scale == 0.0) {
          *error = std::string("--scale expects a number from 1 to 3, got \"") + optarg + "\"";
          return false;
        }
        break;
      }
      case kSet: {
        const std::string text = optarg;
        const auto equals = text.rfind('=');
        char* end = nullptr;
        errno = 0;
        const double value =
            equals == std::string::npos ? NAN : std::strtod(text.c_str() + equals + 1, &end);
        if (equals == std::string::npos || equals == 0 || text.size() == equals + 1 || errno != 0 ||
            *end != '\0' || !(value >= 0.0 && value <= 1.0)) {
          *error = "--set expects NAME=VALUE with a value from 0 to 1, got \"" + text + "\"";
          return false;
        }
        options->settings.emplace_back(text.substr(0, equals), static_cast<float>(value));
        break;
      }
      case ':':
        *error = std::string("option ") + argv[previous] + " needs a value";
        return false;
      default:
        *error = std::string("unknown option ") + argv[previous];
        return false;
    }
  }
  if (optind < argc) {
    *error = std::string("unexpected argument ") + argv[optind];
    return false;
  }
  return true;
}

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

std::string textOf(AEffect* effect, VstInt32 opcode, VstInt32 index) {
  char text[256] = {};
  effect->dispatcher(effect, opcode, index, 0, text, 0.0f);
  text[sizeof(text) - 1] = '\0';
  return text;
}

bool selectProgram(AEffect* effect, const std::string& program, std::string* error) {
  if (program.empty()) return true;
  int number = -1;
  if (program.find_first_not_of("0123456789") == std::string::npos && program.size() <= 4) {
    number = std::atoi(program.c_str());
    if (number >= effect->numPrograms) {
      *error = "program " + program + " is out of range (0 to " +
               std::to_string(effect->numPrograms - 1) + ")";
      return false;
    }
  } else {
    for (VstInt32 i = 0; i < effect->numPrograms && number < 0; ++i)
      if (textOf(effect, effGetProgramNameIndexed, i) == program) number = i;
    if (number < 0) {
      *error = "unknown program \"" + program + "\"";
      return false;
    }
  }
  effect->dispatcher(effect, effSetProgram, 0, number, nullptr, 0.0f);
  return true;
}

bool applySettings(AEffect* effect, const Options& options, std::string* error) {
  for (const auto& [name, value] : options.settings) {
    VstInt32 index = -1;
    for (VstInt32 i = 0; i < effect->numParams && index < 0; ++i)
      if (textOf(effect, effGetParamName, i) == name) index = i;
    if (index < 0) {
      *error = "unknown parameter \"" + name + "\"";
      return false;
    }
    effect->setParameter(effect, index, value);
  }
  return true;
}

// 8-bit RGB, rows top to bottom.
bool writePng(const Surface& picture, const std::string& path, std::string* error) {
  if (picture.width() <= 0 || picture.height() <= 0) {
    *error = "the panel has no pixels";
    return false;
  }
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  std::vector<png_byte> row(static_cast<size_t>(picture.width()) * 3);
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    *error = "cannot encode " + path;
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width()),
               static_cast<png_uint_32>(picture.height()), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < picture.height(); ++y) {
    const uint32_t* pixels = picture.row(y);
    for (int x = 0; x < picture.width(); ++x) {
      row[static_cast<size_t>(x) * 3] = static_cast<png_byte>(pixels[x] >> 16);
      row[static_cast<size_t>(x) * 3 + 1] = static_cast<png_byte>(pixels[x] >> 8);
      row[static_cast<size_t>(x) * 3 + 2] = static_cast<png_byte>(pixels[x]);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fclose(file) != 0) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool writeRaw(const Surface& picture, const std::string& path, std::string* error) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  std::vector<unsigned char> row(static_cast<size_t>(picture.width()) * 4);
  bool ok = true;
  for (int y = 0; y < picture.height() && ok; ++y) {
    const uint32_t* pixels = picture.row(y);
    for (int x = 0; x < picture.width(); ++x)
      for (int byte = 0; byte < 4; ++byte)
        row[static_cast<size_t>(x) * 4 + static_cast<size_t>(byte)] =
            static_cast<unsigned char>(pixels[x] >> (8 * byte));
    ok = std::fwrite(row.data(), row.size(), 1, file) == 1;
  }
  if (std::fclose(file) != 0 || !ok) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!parseOptions(argc, argv, &options, &error)) return fail(error + " (see --help)");
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }

  // The panel takes its scale where a host's panel does: the environment comes first.
  if (options.scale > 0.0) setenv("VORLAK_UI_SCALE", std::to_string(options.scale).c_str(), 1);
  vorlak::HeadlessPlatform platform;
  vorlak::setPlatform(&platform);
  AEffect* effect = vorlak::createEffect(hostCallback);
  if (!effect) return fail("cannot create the instrument");
  effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);

  bool ok =
      selectProgram(effect, options.program, &error) && applySettings(effect, options, &error);
  int parent = 0;  // any non-null handle: the headless window system makes a window for it
  if (ok && effect->dispatcher(effect, effEditOpen, 0, 0, &parent, 0.0f) != 1) {
    error = "the editor did not open";
    ok = false;
  }
  if (ok) {
    auto* owner = static_cast<vorlak::EffectBase*>(effect->object);
    auto* editor = dynamic_cast<vorlak::GuiEditor*>(owner->getEditor());
    vorlak::HeadlessWindow* window = platform.window();
    if (!editor || !editor->getFrame() || !window) {
      error = "the editor has no window";
      ok = false;
    } else {
      // The window system's first expose, then the host's idle that handles it.
      window->queuePaint({0, 0, window->width, window->height});
      effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
      const Surface& picture = editor->getFrame()->backBuffer();
      ok = options.raw ? writeRaw(picture, options.output, &error)
                       : writePng(picture, options.output, &error);
    }
    effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
  }
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  vorlak::setPlatform(nullptr);
  return ok ? 0 : fail(error);
}
