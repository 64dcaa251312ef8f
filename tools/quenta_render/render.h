#pragma once
// The render loop: MIDI events into host blocks, the plug-in's output into a WAV file.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/quenta_render/midi_file.h"
#include "tools/quenta_render/options.h"
#include "tools/quenta_render/vst_host.h"

namespace qrender {

struct RenderSettings {
  double tempo = 120.0;  // reported to the plug-in
  int numerator = 4;
  int denominator = 4;
  double tailSeconds = 2.0;
  SampleFormat format = SampleFormat::Float32;
  bool progress = false;  // draw a progress bar on stderr
  // Add the render to the samples already in the output file (which must exist, stereo, at
  // the same rate); the result is as long as the longer of the two.
  bool mix = false;
};

struct RenderResult {
  int64_t frames = 0;
  double peak = 0.0;            // largest absolute sample, both channels
  int64_t nonFinite = 0;        // NaN or infinite samples the plug-in produced
  double processSeconds = 0.0;  // wall time spent inside the plug-in's calls
};

// Frames rendered for a song: its length plus the tail, each rounded to whole frames.
int64_t renderLength(const MidiFile& song, int sampleRate, double tailSeconds);

// The song's channel messages as VST events, each with its absolute frame in deltaFrames' place
// (the render loop makes them relative to their block). Events at or past endFrame are dropped:
// they could not change any rendered sample.
struct TimedEvent {
  int64_t frame;
  VstMidiEvent event;
};
std::vector<TimedEvent> scheduleEvents(const MidiFile& song, int sampleRate, int64_t endFrame);

// Drops every message that is not on MIDI channel channel (1 to 16); the song keeps its length,
// so parts rendered one channel at a time line up.
void keepChannel(MidiFile& song, int channel);

// Renders into an open host (resumed and suspended here). The audio goes to a temporary file
// next to outputPath, which is renamed to outputPath only when everything succeeded; on failure
// (or SIGINT/SIGTERM) the temporary file is removed.
bool renderToFile(PluginHost& host, const MidiFile& song, const RenderSettings& settings,
                  const std::string& outputPath, RenderResult& result, std::string& error);

// "-3.21 dBFS", "-inf dBFS" for silence.
std::string peakText(double peak);

}  // namespace qrender
