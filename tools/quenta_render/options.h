#pragma once
// Command line of quenta-render.
#include <string>
#include <vector>

namespace qrender {

// One --set NAME=VALUE. block is 'A', 'B' or 'C' for a Block parameter ("A:Cutoff"), 0 for a
// global one ("Final").
struct ParamAssignment {
  char block = 0;
  std::string name;
  std::string value;
  std::string text;  // the argument as given, for messages
};

enum class SampleFormat { Float32, Pcm24 };

struct RenderOptions {
  std::string midiPath;
  std::string outputPath;  // empty: the MIDI file's path with ".wav"
  std::string pluginPath;  // empty: the bundle next to the tool
  std::string bankPath;
  std::string programPath;
  int sampleRate = 48000;
  int blockSize = 512;
  double tempo = 0.0;      // 0: the MIDI file's first tempo, else 120
  int programNumber = -1;  // -1: leave the plug-in's current program
  int channel = 0;         // 1 to 16: play only this MIDI channel's messages; 0: every channel
  bool mix = false;        // add the render to the output file's samples instead of replacing them
  std::vector<ParamAssignment> assignments;
  double tailSeconds = 2.0;
  SampleFormat format = SampleFormat::Float32;
  bool listParams = false;
  std::string editorPng;  // write the editor's panel to this PNG file
  bool bench = false;
  bool quiet = false;
};

enum class ParseResult { Ok, Help, Error };

// Parses argv[1..argc). On Error, error holds one line naming the bad argument.
ParseResult parseCommandLine(int argc, const char* const* argv, RenderOptions& out,
                             std::string& error);

// Splits "A:Cutoff=0.4" or "TVCA Src=GE3+" (the first '=' separates name and value).
bool parseAssignment(const std::string& text, ParamAssignment& out, std::string& error);

// The default output file for a MIDI file: its path with the extension replaced by ".wav".
std::string defaultOutputPath(const std::string& midiPath);

std::string usageText();

}  // namespace qrender
