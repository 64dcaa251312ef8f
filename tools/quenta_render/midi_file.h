#pragma once
// Standard MIDI File reader for the render tool: formats 0 and 1, running status, tempo map,
// SMPTE time division. Channel messages come out merged and timed in seconds; meta events and
// SysEx are consumed (tempo and time signature are read from them) but not returned.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qrender {

struct MidiEvent {
  int64_t tick = 0;      // absolute position in file ticks
  double seconds = 0.0;  // absolute position after the tempo map
  int track = 0;         // MTrk chunk number, from 0
  uint8_t data[3] = {0, 0, 0};
  int size = 0;  // 2 or 3
};

struct MidiFile {
  int format = 0;
  int trackCount = 0;
  int ticksPerQuarter = 0;           // 0 for SMPTE division
  double smpteTicksPerSecond = 0.0;  // 0 for metrical division
  std::vector<MidiEvent> events;     // sorted by time; ties keep track order, then file order
  bool hasTempo = false;
  double firstTempoBpm = 120.0;  // the earliest tempo event, 120 when there is none
  int timeSigNumerator = 4;      // the earliest time signature, 4/4 when there is none
  int timeSigDenominator = 4;
  double lengthSeconds = 0.0;  // time of the latest event of any kind, End of Track included
};

// Parses a whole file image. On failure returns false and sets error to one line naming the fault.
bool parseMidiFile(const uint8_t* data, size_t size, MidiFile& out, std::string& error);

// Reads and parses a file; errors name the problem (the caller adds the path).
bool loadMidiFile(const std::string& path, MidiFile& out, std::string& error);

// Converts a time in seconds to a sample frame at the given rate (rounded to the nearest frame).
int64_t secondsToFrame(double seconds, double sampleRate);

}  // namespace qrender
