#pragma once
// One sounding key of a Block: its waveform comes from the Block's shared sound generator at
// the key's octave and pitch class, runs through the voice's own filter and is shaped by its
// envelope and a keyboard-dependent gain before it is added to the Block's voice sum. The
// filter, the envelope and the key live in the Block's lanes, in the voice's slot.
#include "dsp/sg.h"
#include "dsp/voicelanes.h"

class Voice {
 public:
  Voice() = default;
  ~Voice();
  Voice(const Voice&) = delete;
  Voice& operator=(const Voice&) = delete;

  // The lanes that hold the voice's filter, envelope and key, and its slot in them; set once,
  // before anything else.
  void setLanes(VoiceLanes* voiceLanes, int voiceSlot);
  // Resets the key state and (re)allocates the working buffer for one control frame. The
  // filters and envelopes of the lanes take the rate from their owner.
  void setSampleRate(float rate);
  void setSoundGenerator(const SG* generator) { sg = generator; }
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

  // Writes the raw waveform of n samples from frame position offset into the voice's buffer,
  // for the scalar voice loop, which then filters and mixes the buffers of a stretch's voices
  // side by side.
  void render(int n, int offset) const {
    sg->process(buffer, n, lanes->octave[slot], lanes->pitchClass[slot], offset);
  }

  // A voice whose working buffer could not be made never sounds; the Block passes it by.
  bool canSound() const { return buffer != nullptr; }
  bool isActive() const { return active; }
  int getNote() const { return note; }
  int getSerial() const { return serial; }
  int getSlot() const { return slot; }
  double getKeyBalance() const { return keyBalance; }
  double getGain() const { return (2.0 * keyBalance - 1.0) * kbdBal + (1.0 - keyBalance); }
  double* getBuffer() const { return buffer; }

 private:
  VoiceLanes* lanes = nullptr;
  int slot = 0;
  const SG* sg = nullptr;
  double* buffer = nullptr;
  int bufferLength = 0;
  int allocatedLength = 0;
  double keyTrack = 0.0;
  double keyBalance = 0.5;
  const double* attackSource = nullptr;
  const bool* releaseTrigger = nullptr;
  double peak = 0.0;
  double kbdBal = 0.5;
  double fcBal = 0.0;
  double expand = 0.0;
  double attack = 0.0;
  bool active = false;
  bool gate = false;
  bool sustain = false;
  int note = 48;
  int serial = 0;
};
