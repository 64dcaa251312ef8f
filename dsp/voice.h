#pragma once
// One sounding key of a Block: its waveform comes from the Block's shared sound generator at
// the key's octave and pitch class, runs through the voice's own filter and is shaped by its
// envelope and a keyboard-dependent gain before it is added to the Block's voice sum.
#include "dsp/em.h"
#include "dsp/k35.h"
#include "dsp/sg.h"

class Voice {
 public:
  Voice();
  ~Voice();
  Voice(const Voice&) = delete;
  Voice& operator=(const Voice&) = delete;

  // Resets the key state and (re)allocates the working buffer for one control frame.
  void setSampleRate(float rate);
  void setSoundGenerator(const SG* generator) { sg = generator; }
  void setCutoffMod(const int* cutoffMod) { filter.cutoffMod = cutoffMod; }
  void setAttackSource(const double* source) { attackSource = source; }
  void setReleaseTrigger(const bool* trigger) { releaseTrigger = trigger; }

  // Starts the key; ignored by a voice that cannot sound.
  void setNoteOn(int note, int serial);
  void setNoteOff();
  void setSustain(bool on);
  // Instrument-wide parameter index; the voice acts on its own positions and on "Use Hold".
  void setParam(int index, double value);

  // Once per control frame while active: attack modulation, release trigger, one envelope
  // step and the filter's cut-off for the frame.
  void update(int cutoffInt);

  // Adds n samples of the voice to out; offset is the frame position of the first sample.
  void process(double* out, int n, int offset) {
    render(n, offset);
    filter.process(buffer, n, offset);
    mix(out, n, offset);
  }

  // The three steps of process, for a Block that filters several voices side by side:
  // render writes the raw waveform into the voice's buffer, mix adds the filtered buffer.
  void render(int n, int offset) const { sg->process(buffer, n, octave, pitchClass, offset); }
  void mix(double* out, int n, int offset);
  // Adds count voices' filtered buffers to out exactly as mix() of each in turn would (every
  // sample still receives the voices in order, so the sums are the same bit for bit), several
  // voices at a time so that their envelope steps overlap.
  static void mixMany(Voice* const* voices, int count, double* out, int n, int offset);

  // Lane form for the wide voice loop (see voicelanes.h): the voice's filter, envelope,
  // waveform start and keyboard gain into slot s for a stretch from frame position offset;
  // and its filter and envelope back from the slot afterwards.
  void toLanes(VoiceLanes& lanes, int s, int offset);
  void fromLanes(const VoiceLanes& lanes, int s);

  // A voice whose working buffer could not be made never sounds; the Block passes it by.
  bool canSound() const { return buffer != nullptr; }
  bool isActive() const { return active; }
  int getNote() const { return note; }
  int getSerial() const { return serial; }
  double getKeyBalance() const { return keyBalance; }
  double getGain() const { return (2.0 * keyBalance - 1.0) * kbdBal + (1.0 - keyBalance); }
  const EM& getEnvelope() const { return envelope; }
  Korg35* getFilter() { return &filter; }
  const Korg35& getFilter() const { return filter; }
  double* getBuffer() const { return buffer; }

 private:
  static constexpr int kMixGroupSize = 4;  // voices whose envelopes mixMany steps side by side
  template <int N>
  static void mixGroup(Voice* const* voices, double* out, int n, int offset);

  const SG* sg = nullptr;
  Korg35 filter;
  EM envelope;
  double* buffer = nullptr;
  int bufferLength = 0;
  int allocatedLength = 0;
  double keyTrack = 0.0;
  double keyBalance = 0.5;
  const double* attackSource = nullptr;
  const bool* releaseTrigger = nullptr;
  double kbdBal = 0.5;
  double fcBal = 0.0;
  double expand = 0.0;
  double attack = 0.0;
  bool active = false;
  bool gate = false;
  bool sustain = false;
  int note = 48;
  int octave = 4;
  int pitchClass = 0;
  int serial = 0;
};
