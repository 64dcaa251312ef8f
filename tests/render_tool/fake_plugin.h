#pragma once
// A scripted VST 2 plug-in living in the test process: it has Quenta's parameter layout (three
// Blocks of 61, then globals) with a few named parameters, records everything its host does to it
// and answers processReplacing with a known signal, so the host side of quenta-render can be
// checked call by call.
#include <cstdint>
#include <string>
#include <vector>

#include "plugin/vst2abi.h"

namespace quenta_test::fake {

constexpr VstInt32 kUniqueId = VST_FOURCC('f', 'a', 'k', 'e');
constexpr int kNumParams = 229;
constexpr int kNumPrograms = 4;
// Named parameters (Block ones at k within each Block of 61).
constexpr int kCutoffK = 0;    // "Cutoff": 0 to 1, two decimals
constexpr int kWaveformK = 1;  // "Waveform": "Triangle", "Sawtooth", "Square"
constexpr int kCoarseK = 2;    // "Coarse": -800 to 800, no decimals
constexpr int kFinal = 183;    // "Final": 0 to 1
constexpr int kTvcaSrc = 184;  // "TVCA Src": "off", "+5V", "GE3+"
constexpr int kPbRange = 185;  // "PB Range": -24 to 24
constexpr int kTrgSrc = 186;   // "Trg1 Src": controller texts, one with a trailing space
// processReplacing writes these levels; a note-on replaces the left sample at its offset with
// velocity / 127.
constexpr float kLeftLevel = 0.25f;
constexpr float kRightLevel = -0.125f;

struct Block {
  int64_t hostSamplePos;      // samplePos of the time info fetched during the call
  int frames;
  std::vector<VstMidiEvent> events;  // delivered before this block
};

struct Plugin {
  AEffect effect;
  audioMasterCallback host = nullptr;
  VstIntPtr versionSeenAtConstruction = 0;
  std::vector<float> params;
  std::vector<VstMidiEvent> pending;
  std::vector<Block> blocks;
  std::vector<VstTimeInfo> times;  // one per processReplacing call
  std::vector<std::pair<int, std::vector<uint8_t>>> chunks;  // (index, data) per effSetChunk
  std::vector<int> programsSelected;
  std::vector<std::string> programNames;
  std::vector<int> opcodes;  // every dispatcher opcode in order
  int currentProgram = 0;
  bool mainsOn = false;
  float sampleRate = 0.0f;
  int blockSize = 0;
};

// Entry point with the signature of VSTPluginMain. The instance is reachable through last()
// until the host closes it.
AEffect* entry(audioMasterCallback host);
Plugin* last();

}  // namespace quenta_test::fake
