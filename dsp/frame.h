#pragma once
// The control frame: the engine takes MIDI and computes its once-per-frame modulation only at
// frame starts, a thousand times a second. A frame is the rate truncated to an integer and
// divided by 1000, the fraction dropped: 44 samples at 44100 Hz, 48 at 48000 Hz.

constexpr int kFramesPerSecond = 1000;

// Samples per control frame at a rate; 0 (no frame can be rendered) below 1000 Hz and for
// rates that are not numbers or do not fit an int.
inline int samplesPerFrame(double rate) {
  return rate >= 0.0 && rate < 2147483647.0 ? int(rate) / kFramesPerSecond : 0;
}

// Whole control frames in one cycle of a frequency above 0 (modulation generator 2 and the
// sample and hold count their periods in frames).
inline int framesPerCycle(double hz) { return int(kFramesPerSecond / hz); }
