#include <cctype>

#include "formats/standalone/audio_backend.h"

namespace vorlak::standalone {

std::string matchName(const std::vector<std::string>& names, const std::string& name) {
  for (const std::string& candidate : names)
    if (candidate == name) return candidate;
  auto lower = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  std::string found;
  for (const std::string& candidate : names) {
    if (lower(candidate).find(lower(name)) == std::string::npos) continue;
    if (!found.empty()) return {};
    found = candidate;
  }
  return found;
}

}  // namespace vorlak::standalone
