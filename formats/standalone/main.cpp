// vorlak: the instrument without a host, on JACK or ALSA, with its panel in a window.
#include <cstdio>

#include "formats/standalone/app.h"
#include "formats/standalone/audio_backend.h"
#include "formats/standalone/options.h"
#include "vorlak_version.h"

int main(int argc, char** argv) {
  using namespace vorlak::standalone;
  Options options;
  std::string error;
  if (!parseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "vorlak: %s\n", error.c_str());
    return 2;
  }
  switch (options.action) {
    case Options::kHelp:
      std::fputs(kUsage, stdout);
      return 0;
    case Options::kVersion:
      std::printf("vorlak %s\n", VORLAK_VERSION);
      return 0;
    case Options::kList:
      listJack(stdout);
      listAlsa(stdout);
      return 0;
    case Options::kPlay:
      break;
  }
  App app(options);
  return app.run();
}
