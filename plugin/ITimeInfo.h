#pragma once
// The host's transport as last reported: tempo, positions, loop points, time signature.
// A new record holds 120 bpm, -1 in every position field, 4/4 and both flags false; the
// VST binding overwrites only the fields the host reports as valid and in range.
struct ITimeInfo {
  double mTempo = 120.0;      // beats per minute
  double mSamplePos = -1.0;   // samples since the song start
  double mPPQPos = -1.0;      // quarter notes since the song start
  double mLastBar = -1.0;     // quarter-note position of the last bar start
  double mCycleStart = -1.0;  // loop start, quarter notes
  double mCycleEnd = -1.0;    // loop end, quarter notes
  int mNumerator = 4;
  int mDenominator = 4;
  bool mTransportIsRunning = false;
  bool mTransportLoopEnabled = false;
};
