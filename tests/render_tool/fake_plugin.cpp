#include "fake_plugin.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quenta_test::fake {
namespace {

Plugin* gLast = nullptr;

struct ParamDef {
  const char* name;
  double min, max;
  int decimals;
  std::vector<const char*> texts;
};

ParamDef definition(int index) {
  static const std::vector<const char*> kWaves = {"Triangle", "Sawtooth", "Square"};
  static const std::vector<const char*> kSources = {"off", "+5V", "GE3+"};
  static const std::vector<const char*> kControllers = {"000    Bank Select", "001    Modulation Wheel",
                                                        "091    Effects 1 Depth "};
  if (index < 183) {
    switch (index % 61) {
      case kCutoffK: return {"Cutoff", 0.0, 1.0, 2, {}};
      case kWaveformK: return {"Waveform", 0, 0, 0, kWaves};
      case kCoarseK: return {"Coarse", -800.0, 800.0, 0, {}};
      default: return {"Other", 0.0, 1.0, 2, {}};
    }
  }
  switch (index) {
    case kFinal: return {"Final", 0.0, 1.0, 2, {}};
    case kTvcaSrc: return {"TVCA Src", 0, 0, 0, kSources};
    case kPbRange: return {"PB Range", -24.0, 24.0, 0, {}};
    case kTrgSrc: return {"Trg1 Src", 0, 0, 0, kControllers};
    default: return {"Global", 0.0, 1.0, 2, {}};
  }
}

Plugin* self(AEffect* e) { return static_cast<Plugin*>(e->object); }

void copyOut(void* ptr, const std::string& s) { std::snprintf((char*)ptr, 64, "%s", s.c_str()); }

std::string display(const Plugin* p, int index) {
  ParamDef d = definition(index);
  double norm = p->params[(size_t)index];
  if (!d.texts.empty()) return d.texts[(size_t)std::lround(norm * (double)(d.texts.size() - 1))];
  char buf[64];
  std::snprintf(buf, sizeof(buf), "%.*f", d.decimals, d.min + norm * (d.max - d.min));
  return buf;
}

bool fromString(Plugin* p, int index, const char* text) {
  ParamDef d = definition(index);
  if (!d.texts.empty()) {
    for (size_t i = 0; i < d.texts.size(); ++i)
      if (std::strcmp(d.texts[i], text) == 0) {
        p->params[(size_t)index] = (float)((double)i / (double)(d.texts.size() - 1));
        return true;
      }
    return false;
  }
  double v = std::atof(text);
  v = v < d.min ? d.min : v > d.max ? d.max : v;
  p->params[(size_t)index] = (float)((v - d.min) / (d.max - d.min));
  return true;
}

VstIntPtr dispatcher(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  Plugin* p = self(e);
  p->opcodes.push_back(opcode);
  bool validParam = index >= 0 && index < kNumParams;
  switch (opcode) {
    case effClose:
      if (gLast == p) gLast = nullptr;
      delete p;
      return 0;
    case effSetSampleRate: p->sampleRate = opt; return 0;
    case effSetBlockSize: p->blockSize = (int)value; return 0;
    case effMainsChanged: p->mainsOn = value != 0; return 0;
    case effSetProgram:
      p->currentProgram = (int)value;
      p->programsSelected.push_back((int)value);
      return 0;
    case effGetProgram: return p->currentProgram;
    case effSetProgramName: p->programNames.push_back((const char*)ptr); return 0;
    case effGetParamName:
      if (validParam) copyOut(ptr, definition(index).name);
      return 0;
    case effGetParamDisplay:
      if (validParam) copyOut(ptr, display(p, index));
      return 0;
    case effGetParamLabel:
      if (validParam) copyOut(ptr, index == kPbRange ? "semi" : "");
      return 0;
    case effString2Parameter: return validParam && ptr ? fromString(p, index, (const char*)ptr) : 0;
    case effSetChunk: {
      const uint8_t* data = (const uint8_t*)ptr;
      p->chunks.push_back({index, std::vector<uint8_t>(data, data + value)});
      return value >= 4 && std::memcmp(data, "BAD!", 4) == 0 ? 0 : 1;
    }
    case effProcessEvents: {
      VstEvents* list = (VstEvents*)ptr;
      for (int i = 0; i < list->numEvents; ++i)
        if (list->events[i]->type == kVstMidiType) p->pending.push_back(*(VstMidiEvent*)list->events[i]);
      return 1;
    }
    default: return 0;
  }
}

void processReplacing(AEffect* e, float** /*inputs*/, float** outputs, VstInt32 frames) {
  Plugin* p = self(e);
  VstTimeInfo* ti = (VstTimeInfo*)p->host(e, audioMasterGetTime, 0, kVstPpqPosValid | kVstTempoValid, nullptr, 0.0f);
  VstTimeInfo copy;
  std::memset(&copy, 0, sizeof(copy));
  if (ti) copy = *ti;
  p->times.push_back(copy);
  for (int i = 0; i < frames; ++i) {
    outputs[0][i] = kLeftLevel;
    outputs[1][i] = kRightLevel;
  }
  for (const VstMidiEvent& ev : p->pending) {
    uint8_t status = (uint8_t)ev.midiData[0];
    if ((status & 0xF0) == 0x90 && ev.midiData[2] > 0 && ev.deltaFrames >= 0 && ev.deltaFrames < frames)
      outputs[0][ev.deltaFrames] = (float)ev.midiData[2] / 127.0f;
  }
  p->blocks.push_back({(int64_t)copy.samplePos, frames, p->pending});
  p->pending.clear();
}

void setParameter(AEffect* e, VstInt32 index, float value) {
  if (index >= 0 && index < kNumParams) self(e)->params[(size_t)index] = value;
}

float getParameter(AEffect* e, VstInt32 index) {
  return index >= 0 && index < kNumParams ? self(e)->params[(size_t)index] : 0.0f;
}

}  // namespace

AEffect* entry(audioMasterCallback host) {
  Plugin* p = new Plugin;
  std::memset(&p->effect, 0, sizeof(p->effect));
  p->host = host;
  // Hosts must answer before the instance is known to them.
  p->versionSeenAtConstruction = host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f);
  p->params.assign(kNumParams, 0.5f);
  AEffect& e = p->effect;
  e.magic = kEffectMagic;
  e.dispatcher = dispatcher;
  e.processReplacing = processReplacing;
  e.setParameter = setParameter;
  e.getParameter = getParameter;
  e.numPrograms = kNumPrograms;
  e.numParams = kNumParams;
  e.numInputs = 0;
  e.numOutputs = 2;
  e.flags = effFlagsCanReplacing | effFlagsProgramChunks | effFlagsIsSynth;
  e.uniqueID = kUniqueId;
  e.object = p;
  gLast = p;
  return &e;
}

Plugin* last() { return gLast; }

}  // namespace quenta_test::fake
