#include "configfile_fixture.h"

#include <cmath>

namespace quenta_test {

HostLog& Log() {
  static HostLog log;
  return log;
}

namespace {
VstIntPtr Callback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt) {
  switch (opcode) {
    case audioMasterVersion: return kVstVersion;
    case audioMasterAutomate:
      Log().automated.push_back(index);
      Log().values.push_back(opt);
      return 0;
    default: return 0;
  }
}
}  // namespace

Instance::Instance() {
  Log() = HostLog();
  IPlugInstanceInfo info;
  info.mVSTHostCallback = Callback;
  mPlug.reset(static_cast<Quenta*>(MakePlug(info)));
  mPlug->EnsureDefaultPreset();
  Dispatch(effOpen);
  Dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
  Dispatch(effSetBlockSize, 0, 512);
  Dispatch(effMainsChanged, 0, 1);
}

VstIntPtr Instance::Dispatch(VstInt32 op, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  AEffect* e = mPlug->GetAEffect();
  return e->dispatcher(e, op, index, value, ptr, opt);
}

void Instance::Midi(uint8_t status, uint8_t d1, uint8_t d2, int offset) {
  IMidiMsg m(offset, status, d1, d2);
  mPlug->ProcessMidiMsg(&m);
}

void Instance::Frame(int count) {
  for (int i = 0; i < count; ++i) {
    mPlug->handleMidiEvents();
    mPlug->update(mPlug->getSamplesPerFrame());
  }
}

std::vector<double> Instance::Values() const {
  std::vector<double> v;
  for (int i = 0; i < mPlug->NParams(); ++i) v.push_back(Value(i));
  return v;
}

void MakeBankFile(const std::string& path, const std::string& prefix) {
  Instance maker;
  Quenta& q = maker.q();
  for (int p = 0; p < q.NPresets(); ++p) {
    q.RestorePreset(p);
    maker.Turn(kFinal, (p + 1) / 100.0);
    q.ModifyCurrentPreset((prefix + std::to_string(p)).c_str());
  }
  q.RestorePreset(0);
  WDL_String file(path.c_str());
  ASSERT_TRUE(q.SaveBankAsFXB(&file));
}

}  // namespace quenta_test
