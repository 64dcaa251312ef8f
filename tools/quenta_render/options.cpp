#include "tools/quenta_render/options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace qrender {
namespace {

bool parseInt(const std::string& s, long lo, long hi, int& out) {
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long v = std::strtol(s.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || v < lo || v > hi) return false;
  out = (int)v;
  return true;
}

bool parseDouble(const std::string& s, double lo, double hi, double& out) {
  if (s.empty()) return false;
  errno = 0;
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (errno != 0 || *end != '\0' || !std::isfinite(v) || v < lo || v > hi) return false;
  out = v;
  return true;
}

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

}  // namespace

bool parseAssignment(const std::string& text, ParamAssignment& out, std::string& error) {
  out = ParamAssignment();
  out.text = text;
  size_t eq = text.find('=');
  if (eq == std::string::npos) {
    error = "--set \"" + text + "\": expected NAME=VALUE";
    return false;
  }
  std::string name = trim(text.substr(0, eq));
  out.value = text.substr(eq + 1);  // kept as given: some display texts end in a space
  if (name.size() >= 2 && name[1] == ':') {
    char letter = name[0];
    if (letter >= 'a' && letter <= 'c') letter = (char)(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'C') {
      error = "--set \"" + text + "\": Block letter must be A, B or C";
      return false;
    }
    out.block = letter;
    name = trim(name.substr(2));
  }
  if (name.empty()) {
    error = "--set \"" + text + "\": missing parameter name";
    return false;
  }
  if (out.value.empty()) {
    error = "--set \"" + text + "\": missing value";
    return false;
  }
  out.name = name;
  return true;
}

std::string defaultOutputPath(const std::string& midiPath) {
  size_t slash = midiPath.find_last_of('/');
  size_t dot = midiPath.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1))
    return midiPath.substr(0, dot) + ".wav";
  return midiPath + ".wav";
}

ParseResult parseCommandLine(int argc, const char* const* argv, RenderOptions& out,
                             std::string& error) {
  out = RenderOptions();
  std::vector<std::string> positional;
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    // Split "--name=value"; short options take their value from the next argument.
    std::string key = arg, inlineValue;
    bool hasInline = false;
    if (arg.compare(0, 2, "--") == 0) {
      size_t eq = arg.find('=');
      if (eq != std::string::npos) {
        key = arg.substr(0, eq);
        inlineValue = arg.substr(eq + 1);
        hasInline = true;
      }
    }
    auto value = [&](std::string& v) {
      if (hasInline) {
        v = inlineValue;
        return true;
      }
      if (i + 1 >= argc) {
        error = "option " + key + " needs a value";
        return false;
      }
      v = argv[++i];
      return true;
    };
    auto flag = [&]() {
      if (hasInline) {
        error = "option " + key + " takes no value";
        return false;
      }
      return true;
    };
    std::string v;
    if (key == "-h" || key == "--help") {
      return ParseResult::Help;
    } else if (key == "-o" || key == "--output") {
      if (!value(v)) return ParseResult::Error;
      if (v.empty()) {
        error = "option " + key + ": empty file name";
        return ParseResult::Error;
      }
      out.outputPath = v;
    } else if (key == "--plugin") {
      if (!value(v)) return ParseResult::Error;
      out.pluginPath = v;
    } else if (key == "-r" || key == "--rate") {
      if (!value(v)) return ParseResult::Error;
      if (!parseInt(v, 1000, 384000, out.sampleRate)) {
        error = "option " + key + ": \"" + v + "\" is not a sample rate from 1000 to 384000 Hz";
        return ParseResult::Error;
      }
    } else if (key == "-b" || key == "--block") {
      if (!value(v)) return ParseResult::Error;
      if (!parseInt(v, 1, 65536, out.blockSize)) {
        error = "option " + key + ": \"" + v + "\" is not a block size from 1 to 65536";
        return ParseResult::Error;
      }
    } else if (key == "-t" || key == "--tempo") {
      if (!value(v)) return ParseResult::Error;
      if (!parseDouble(v, 1.0, 999.0, out.tempo)) {
        error = "option " + key + ": \"" + v + "\" is not a tempo from 1 to 999 bpm";
        return ParseResult::Error;
      }
    } else if (key == "--bank") {
      if (!value(v)) return ParseResult::Error;
      out.bankPath = v;
    } else if (key == "--program") {
      if (!value(v)) return ParseResult::Error;
      out.programPath = v;
    } else if (key == "-p" || key == "--program-number") {
      if (!value(v)) return ParseResult::Error;
      if (!parseInt(v, 0, 1000000, out.programNumber)) {
        error = "option " + key + ": \"" + v + "\" is not a program number";
        return ParseResult::Error;
      }
    } else if (key == "--channel") {
      if (!value(v)) return ParseResult::Error;
      if (!parseInt(v, 1, 16, out.channel)) {
        error = "option " + key + ": \"" + v + "\" is not a MIDI channel from 1 to 16";
        return ParseResult::Error;
      }
    } else if (key == "--mix") {
      if (!flag()) return ParseResult::Error;
      out.mix = true;
    } else if (key == "--set") {
      if (!value(v)) return ParseResult::Error;
      ParamAssignment a;
      if (!parseAssignment(v, a, error)) return ParseResult::Error;
      out.assignments.push_back(a);
    } else if (key == "--tail") {
      if (!value(v)) return ParseResult::Error;
      if (!parseDouble(v, 0.0, 3600.0, out.tailSeconds)) {
        error = "option " + key + ": \"" + v + "\" is not a tail from 0 to 3600 seconds";
        return ParseResult::Error;
      }
    } else if (key == "--format") {
      if (!value(v)) return ParseResult::Error;
      if (v == "float")
        out.format = SampleFormat::Float32;
      else if (v == "pcm24")
        out.format = SampleFormat::Pcm24;
      else {
        error = "option " + key + ": \"" + v + "\" is not a sample format (float or pcm24)";
        return ParseResult::Error;
      }
    } else if (key == "--list-params") {
      if (!flag()) return ParseResult::Error;
      out.listParams = true;
    } else if (key == "--editor-png") {
      if (!value(v)) return ParseResult::Error;
      if (v.empty()) {
        error = "option " + key + ": empty file name";
        return ParseResult::Error;
      }
      out.editorPng = v;
    } else if (key == "--bench") {
      if (!flag()) return ParseResult::Error;
      out.bench = true;
    } else if (key == "-q" || key == "--quiet") {
      if (!flag()) return ParseResult::Error;
      out.quiet = true;
    } else {
      error = "unknown option " + key + " (see --help)";
      return ParseResult::Error;
    }
  }
  if (positional.size() > 1) {
    error = "more than one MIDI file given (\"" + positional[0] + "\", \"" + positional[1] + "\")";
    return ParseResult::Error;
  }
  if (positional.size() == 1) out.midiPath = positional[0];
  if (out.midiPath.empty() && !out.listParams && out.editorPng.empty()) {
    error = "no MIDI file given (see --help)";
    return ParseResult::Error;
  }
  if (out.outputPath.empty() && !out.midiPath.empty())
    out.outputPath = defaultOutputPath(out.midiPath);
  return ParseResult::Ok;
}

std::string usageText() {
  return "usage: quenta-render [options] FILE.mid\n"
         "       quenta-render --list-params [options]\n"
         "       quenta-render --editor-png FILE.png [options]\n"
         "Renders a Standard MIDI File through the Quenta VST 2 plug-in to a stereo WAV file.\n"
         "\n"
         "  -o, --output FILE        WAV file to write (default: the MIDI file's name with .wav)\n"
         "      --plugin PATH        plug-in to load (default: the Quenta.vst bundle of this "
         "build)\n"
         "  -r, --rate HZ            sample rate, 1000 to 384000 (default 48000)\n"
         "  -b, --block N            host block size in samples (default 512)\n"
         "  -t, --tempo BPM          tempo reported to the plug-in (default: the file's first "
         "tempo, or 120)\n"
         "      --bank FILE.fxb      load a bank into the plug-in before rendering\n"
         "      --program FILE.fxp   load a program into the current program slot\n"
         "  -p, --program-number N   select program N (after --bank, before --program)\n"
         "      --set NAME=VALUE     set a parameter: \"A:Cutoff=0.4\" (Block A, B or C), \"TVCA "
         "Src=GE3+\"\n"
         "                           (global); VALUE is a display text or a number in the "
         "parameter's units\n"
         "      --list-params        print every parameter with its current value and exit\n"
         "      --editor-png FILE    write the editor's panel, as it shows the settings above, to "
         "a PNG\n"
         "                           file (drawn without a display; with a MIDI file, also "
         "renders)\n"
         "      --channel N          play only the messages of MIDI channel N (1 to 16)\n"
         "      --mix                add the render to the samples of the existing output file "
         "(same\n"
         "                           rate, stereo); the file grows to the longer of the two\n"
         "      --tail SECONDS       release tail after the end of the song (default 2)\n"
         "      --format F           float (32-bit float, default) or pcm24 (24-bit integer)\n"
         "      --bench              print the realtime factor of the render\n"
         "  -q, --quiet              print nothing but errors (and the --bench figures)\n"
         "  -h, --help               show this text\n";
}

}  // namespace qrender
