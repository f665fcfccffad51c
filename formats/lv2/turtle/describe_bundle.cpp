// Writes the bundle's Turtle files at build time from the parameter table and the factory
// bank, so that the description a host reads can never disagree with the instrument:
//   describe_bundle <bundle folder> <plug-in binary name> <UI binary name>
// manifest.ttl names the plug-in, its UI and the presets; vorlak.ttl describes the ports and
// the UI's features; presets.ttl holds the 64 factory programs.
#include <cctype>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "formats/lv2/ports.h"
#include "instrument/parameters.h"
#include "instrument/program.h"
#include "vorlak_version.h"

namespace vorlak::lv2 {
namespace {

constexpr const char* kPrefixes =
    "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
    "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix pg: <http://lv2plug.in/ns/ext/port-groups#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

std::string uri(const std::string& text) { return "<" + text + ">"; }

std::string presetUri(int program) {
  char number[8];
  std::snprintf(number, sizeof number, "%02d", program);
  return uri(std::string(kPresetUriBase) + number);
}

// A Turtle string literal.
std::string quoted(const char* text) {
  std::string out = "\"";
  for (const char* c = text; *c; ++c) {
    if (*c == '"' || *c == '\\') out += '\\';
    out += *c;
  }
  return out + "\"";
}

// The shortest decimal that reads back as the same float, always with a point so that
// Turtle takes it as a decimal rather than an integer.
std::string number(float value) {
  char text[64];
  const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
  std::string out(text, written.ptr);
  if (out.find('.') == std::string::npos) out += ".0";
  return out;
}

// Lower case, words joined by underscores ("FX par1" is fx_par1); the reserved ones by index.
std::string symbol(int index) {
  if (isReservedParameter(index)) return "reserved_" + std::to_string(index);
  std::string out;
  for (const char* c = parameterName(index); *c; ++c)
    out += std::isalnum(static_cast<unsigned char>(*c))
               ? static_cast<char>(std::tolower(static_cast<unsigned char>(*c)))
               : '_';
  return out;
}

std::string name(int index) { return parameterName(index); }

std::string manifest(const std::string& pluginBinary, const std::string& uiBinary) {
  std::ostringstream out;
  out << kPrefixes;
  out << uri(kPluginUri) << "\n    a lv2:Plugin , lv2:InstrumentPlugin ;\n"
      << "    lv2:binary " << uri(pluginBinary) << " ;\n    rdfs:seeAlso <vorlak.ttl> .\n\n";
  out << uri(kUiUri) << "\n    a ui:X11UI ;\n    ui:binary " << uri(uiBinary)
      << " ;\n    rdfs:seeAlso <vorlak.ttl> .\n";
  for (int n = 0; n < kNumPrograms; ++n) {
    out << "\n"
        << presetUri(n) << "\n    a pset:Preset ;\n    lv2:appliesTo " << uri(kPluginUri)
        << " ;\n    rdfs:label " << quoted(kFactoryPrograms[n].name)
        << " ;\n    rdfs:seeAlso <presets.ttl> .\n";
  }
  return out.str();
}

void controlPort(std::ostream& out, int index) {
  out << "    [\n        a lv2:InputPort , lv2:ControlPort ;\n"
      << "        lv2:index " << index << " ;\n"
      << "        lv2:symbol " << quoted(symbol(index).c_str()) << " ;\n"
      << "        lv2:name " << quoted(name(index).c_str()) << " ;\n"
      << "        lv2:default " << number(kFactoryPrograms[0].values[index]) << " ;\n"
      << "        lv2:minimum 0.0 ;\n        lv2:maximum 1.0";
  if (isReservedParameter(index)) out << " ;\n        lv2:portProperty pprops:notOnGUI";
  if (index == kLatch) out << " ;\n        lv2:portProperty lv2:toggled";
  for (int k = 0; k < optionCount(index); ++k) {
    out << (k == 0 ? " ;\n        lv2:scalePoint " : " , ") << "[ rdfs:label "
        << quoted(optionName(index, k)) << " ; rdf:value " << number(optionValue(index, k)) << " ]";
  }
  out << "\n    ] ,\n";
}

std::string description() {
  std::ostringstream out;
  out << kPrefixes;
  out << uri(kPluginUri) << "\n"
      << "    a lv2:Plugin , lv2:InstrumentPlugin , doap:Project ;\n"
      << "    doap:name \"Vorlak\" ;\n"
      << "    doap:maintainer [ foaf:name \"Kivo\" ] ;\n"
      << "    doap:license <https://spdx.org/licenses/GPL-3.0-or-later> ;\n"
      << "    rdfs:comment \"An electric guitar or bass modelled from the string to the speaker: "
         "six plucked strings, pickups, amplifier, cabinet and one effect.\" ;\n"
      << "    lv2:minorVersion " << kLv2MinorVersion << " ;\n"
      << "    lv2:microVersion " << kLv2MicroVersion << " ;\n"
      << "    lv2:requiredFeature urid:map ;\n"
      << "    lv2:optionalFeature lv2:hardRTCapable , opts:options ;\n"
      << "    opts:supportedOption bufsz:maxBlockLength , bufsz:nominalBlockLength ;\n"
      << "    lv2:extensionData state:interface ;\n"
      << "    ui:ui " << uri(kUiUri) << " ;\n"
      << "    lv2:port\n";
  for (int i = 0; i < kNumParameters; ++i) controlPort(out, i);
  out << "    [\n        a lv2:InputPort , atom:AtomPort ;\n"
      << "        atom:bufferType atom:Sequence ;\n"
      << "        atom:supports midi:MidiEvent , time:Position ;\n"
      << "        lv2:designation lv2:control ;\n"
      << "        lv2:index " << kEventsPort << " ;\n"
      << "        lv2:symbol \"events\" ;\n        lv2:name \"Events\"\n    ] ,\n";
  const char* sides[2][3] = {{"out_left", "Left", "pg:left"}, {"out_right", "Right", "pg:right"}};
  for (int c = 0; c < 2; ++c) {
    out << "    [\n        a lv2:OutputPort , lv2:AudioPort ;\n"
        << "        lv2:index " << kLeftPort + c << " ;\n"
        << "        lv2:symbol \"" << sides[c][0] << "\" ;\n"
        << "        lv2:name \"" << sides[c][1] << "\" ;\n"
        << "        lv2:designation " << sides[c][2] << "\n    ]" << (c == 0 ? " ,\n" : " .\n");
  }
  out << "\n"
      << uri(kUiUri) << "\n    a ui:X11UI ;\n"
      << "    lv2:requiredFeature ui:idleInterface , ui:parent ;\n"
      << "    lv2:optionalFeature ui:resize , ui:touch , ui:noUserResize , opts:options , "
         "urid:map ;\n"
      << "    opts:supportedOption ui:scaleFactor ;\n"
      << "    lv2:extensionData ui:idleInterface , opts:interface .\n";
  return out.str();
}

std::string presets() {
  std::ostringstream out;
  out << kPrefixes;
  for (int n = 0; n < kNumPrograms; ++n) {
    const Program& program = kFactoryPrograms[n];
    out << presetUri(n) << "\n    a pset:Preset ;\n    lv2:appliesTo " << uri(kPluginUri)
        << " ;\n    rdfs:label " << quoted(program.name) << " ;\n    lv2:port";
    for (int i = 0; i < kNumParameters; ++i) {
      out << (i == 0 ? "\n" : " ,\n") << "        [ lv2:symbol " << quoted(symbol(i).c_str())
          << " ; pset:value " << number(program.values[i]) << " ]";
    }
    out << " .\n\n";
  }
  return out.str();
}

bool write(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  if (!file) std::fprintf(stderr, "describe_bundle: cannot write %s\n", path.c_str());
  return static_cast<bool>(file);
}

}  // namespace
}  // namespace vorlak::lv2

int main(int argc, char** argv) {
  using namespace vorlak::lv2;
  if (argc != 4) {
    std::fprintf(stderr, "usage: describe_bundle <bundle folder> <plug-in binary> <UI binary>\n");
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  const bool ok = write(folder + "manifest.ttl", manifest(argv[2], argv[3])) &&
                  write(folder + "vorlak.ttl", description()) &&
                  write(folder + "presets.ttl", presets());
  return ok ? 0 : 1;
}
