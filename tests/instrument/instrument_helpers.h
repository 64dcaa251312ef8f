#pragma once
// Helpers of the instrument tests: a host session playing the built plug-in, an instance made
// in the test for looking at the patch panel's cells, expected values and measurements.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "instrument/params.h"
#include "instrument/quenta.h"
#include "support/audio_measure.h"
#include "support/test_host.h"

namespace quenta_test {

// MIDI shorthands (channel 0 unless given); a bend value is 0 .. 16383, 8192 the centre.
inline VstMidiEvent NoteOn(int offset, int note, int velocity = 100, int channel = 0) {
  return TestHost::Midi(offset, uint8_t(0x90 | channel), uint8_t(note), uint8_t(velocity));
}
inline VstMidiEvent NoteOff(int offset, int note, int channel = 0) {
  return TestHost::Midi(offset, uint8_t(0x80 | channel), uint8_t(note), 0);
}
inline VstMidiEvent CC(int offset, int controller, int value, int channel = 0) {
  return TestHost::Midi(offset, uint8_t(0xB0 | channel), uint8_t(controller), uint8_t(value));
}
inline VstMidiEvent Bend(int offset, int value, int channel = 0) {
  return TestHost::Midi(offset, uint8_t(0xE0 | channel), uint8_t(value & 127), uint8_t(value >> 7));
}

// A MIDI event at an absolute sample time of a render.
struct TimedEvent {
  int time;
  VstMidiEvent event;  // its deltaFrames is replaced by the offset inside the host block
};

// A parameter set from text: one of the Block parameters k in all three Blocks (k >= 0), or a
// global one (Global(index)).
struct Setting {
  int k;
  const char* text;
};
constexpr int Global(int index) { return ~index; }

// The built plug-in opened by the scripted host, sample rate and block size set, switched on.
class Session {
 public:
  explicit Session(double sampleRate = 48000.0, int blockSize = 512) : maxBlock(blockSize) {
    ok = host.Instantiate();
    if (ok) host.StartSession(float(sampleRate), blockSize);
  }

  // Sets a parameter the way a host sets it from text: a display text for lists and switches
  // ("Sawtooth", "on"), a plain number otherwise.
  void Set(int index, const std::string& text) {
    VstIntPtr r = host.Dispatch(effString2Parameter, index, 0, const_cast<char*>(text.c_str()));
    EXPECT_EQ(r, 1) << "parameter " << index << " refused \"" << text << "\"";
  }
  void Set(int index, double plain) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.17g", plain);
    Set(index, std::string(text));
  }
  // The same Block parameter in Blocks A, B and C.
  void SetBlocks(int k, const std::string& text) {
    for (int b = 0; b < kNumBlocks; ++b) Set(BlockParam(b, k), text);
  }
  void SetBlocks(int k, double plain) {
    for (int b = 0; b < kNumBlocks; ++b) Set(BlockParam(b, k), plain);
  }
  void Apply(const std::vector<Setting>& settings) {
    for (const Setting& x : settings) x.k >= 0 ? SetBlocks(x.k, x.text) : Set(~x.k, x.text);
  }

  void Midi(std::vector<VstMidiEvent> events) { host.SendMidi(std::move(events)); }

  // Renders frames samples in host blocks of block samples (maxBlock when 0), delivering each
  // event just before the block that holds its time, with its offset inside that block;
  // returns the left channel (the right in `other`).
  std::vector<double> RenderStream(const std::vector<TimedEvent>& events, int frames,
                                   int block = 0) {
    if (block <= 0) block = maxBlock;
    std::vector<double> out;
    other.clear();
    for (int start = 0; start < frames; start += block) {
      const int n = std::min(block, frames - start);
      std::vector<VstMidiEvent> due;
      for (TimedEvent e : events)
        if (e.time >= start && e.time < start + n) {
          e.event.deltaFrames = e.time - start;
          due.push_back(e.event);
        }
      if (!due.empty()) host.SendMidi(due);
      if (beforeBlock) beforeBlock(start, n);
      host.ProcessDoubleReplacing(n);
      out.insert(out.end(), host.OutputD(0).begin(), host.OutputD(0).begin() + n);
      other.insert(other.end(), host.OutputD(1).begin(), host.OutputD(1).begin() + n);
    }
    return out;
  }
  std::vector<double> Render(int frames, int block = 0) { return RenderStream({}, frames, block); }

  TestHost host;
  std::vector<double> other;  // the other channel of the last render
  int maxBlock;
  bool ok = false;
  // Called before every host block of a render (start sample, length), e.g. to move the
  // host's transport.
  std::function<void(int, int)> beforeBlock;
};

// Requests a directly constructed instance made of the host callback; MIDI it sends and
// automation it reports are recorded here.
struct DirectLog {
  std::vector<VstMidiEvent> sent;
  std::vector<int> automated;  // parameter indices of audioMasterAutomate
};
inline DirectLog& Log() {
  static DirectLog log;
  return log;
}
inline VstIntPtr DirectCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void* ptr,
                                float) {
  if (opcode == audioMasterVersion) return kVstVersion;
  if (opcode == audioMasterAutomate) Log().automated.push_back(index);
  if (opcode != audioMasterProcessEvents || !ptr) return 0;
  const VstEvents* ev = static_cast<const VstEvents*>(ptr);
  for (int i = 0; i < ev->numEvents; ++i)
    if (ev->events[i] && ev->events[i]->type == kVstMidiType)
      Log().sent.push_back(*reinterpret_cast<const VstMidiEvent*>(ev->events[i]));
  return 1;
}

// An instance of the instrument made in the test, set up through its dispatcher as a host
// does it, so that its sources, triggers and steps can be looked at.
class Direct {
 public:
  explicit Direct(double sampleRate = 48000.0, int blockSize = 512) {
    Log() = DirectLog();
    IPlugInstanceInfo info;
    info.mVSTHostCallback = DirectCallback;
    plug.reset(static_cast<Quenta*>(MakePlug(info)));
    plug->EnsureDefaultPreset();
    Dispatch(effOpen);
    Dispatch(effSetSampleRate, 0, 0, nullptr, float(sampleRate));
    Dispatch(effSetBlockSize, 0, blockSize);
    Dispatch(effMainsChanged, 0, 1);
  }
  VstIntPtr Dispatch(VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f) {
    AEffect* e = plug->GetAEffect();
    return e->dispatcher(e, op, index, value, ptr, opt);
  }
  Quenta& q() { return *plug; }
  const Quenta& q() const { return *plug; }

  // Plain value, applied as a host change is.
  void Set(int index, double plain) {
    plug->GetParam(index)->Set(plain);
    plug->OnParamChange(index);
  }
  double Get(int index) const { return plug->GetParam(index)->Value(); }

  // Delivers one short message as the dispatcher does.
  void Midi(uint8_t status, uint8_t d1, uint8_t d2, int offset = 0) {
    IMidiMsg m(offset, status, d1, d2);
    plug->ProcessMidiMsg(&m);
  }
  // One control frame: MIDI of the frame, then the modulation step.
  void Frame(int count = 1) {
    for (int i = 0; i < count; ++i) {
      plug->handleMidiEvents();
      plug->update(plug->getSamplesPerFrame());
    }
  }
  double Source(int index) const {
    const double* p = plug->getModSource(index);
    return p ? *p : std::nan("");
  }
  bool Trigger(int index) const {
    const bool* p = plug->getTrigger(index);
    return p && *p;
  }

  std::unique_ptr<Quenta> plug;
};

// Frequency of a pitch in 1/128 semitone (0 = MIDI note 0): the equal-tempered note table
// rounded to three decimals, interpolated linearly within the semitone.
inline double NoteTableHz(int n) {
  return std::round(440.0 * std::pow(2.0, (n - 69) / 12.0) * 1000.0) / 1000.0;
}
inline double PitchHz(int pitch) {
  const int i = pitch >> 7, f = pitch & 127;
  return NoteTableHz(i) + (NoteTableHz(i + 1) - NoteTableHz(i)) * f / 128.0;
}
// Seconds of an envelope segment with time parameter p.
inline double SegmentSeconds(double p) { return std::pow(10.0, 4.5 * p - 2.3); }

inline int FirstNonZero(const std::vector<double>& x) {
  const auto it = std::find_if(x.begin(), x.end(), [](double v) { return v != 0.0; });
  return it == x.end() ? -1 : int(it - x.begin());
}
inline bool AllZero(const std::vector<double>& x, int from, int to) {
  return std::all_of(x.begin() + from, x.begin() + std::min(to, int(x.size())),
                     [](double v) { return v == 0.0; });
}
inline bool AllFinite(const std::vector<double>& x) {
  return std::all_of(x.begin(), x.end(), [](double v) { return std::isfinite(v); });
}
inline double CrossingHz(const std::vector<double>& x, int from, int count, double rate) {
  return audio::crossingFrequency(x.data() + from, count, rate);
}
inline double Rms(const std::vector<double>& x, int from, int count) {
  return audio::rms(x.data() + from, count);
}
inline double Peak(const std::vector<double>& x, int from, int count) {
  return audio::peak(x.data() + from, count);
}

// The envelope of render a relative to render b, sample by sample: a[i] / b[i] where b is
// loud enough to divide by (NaN elsewhere). Voices take their waveform from the master
// oscillators, which run from the reset on whatever the notes do, so two fresh instances
// playing the same key differ only by their envelopes and gains.
inline std::vector<double> EnvelopeRatio(const std::vector<double>& a, const std::vector<double>& b,
                                         double floor) {
  std::vector<double> r(a.size(), std::nan(""));
  for (size_t i = 0; i < a.size() && i < b.size(); ++i)
    if (std::fabs(b[i]) > floor) r[i] = a[i] / b[i];
  return r;
}
// First index from `from` on where the ratio is defined and at or above (below) level.
inline int FirstRatioAt(const std::vector<double>& r, int from, double level, bool above) {
  for (int i = from; i < int(r.size()); ++i)
    if (above ? r[size_t(i)] >= level : r[size_t(i)] <= level) return i;  // false for NaN
  return -1;
}
// Last defined ratio value at or before i.
inline double RatioNear(const std::vector<double>& r, int i) {
  for (int j = i; j >= 0 && j > i - 64; --j)
    if (!std::isnan(r[size_t(j)])) return r[size_t(j)];
  return std::nan("");
}

}  // namespace quenta_test
