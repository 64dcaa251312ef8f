// The 64 programs at start-up and the program operations of the editor: initialise, copy,
// paste and change program.
#include "instrument/synth.h"

namespace {
// The factory bank inside the bundle, relative to the folder that holds the bundle.
constexpr const char* kFactoryBank = "Quenta.vst/Contents/Resources/init.fxb";
}  // namespace

void Synth::initAllPrograms() {
  if (LoadBankFromFXB(&mStartupBankPath)) return;
  // The file keeps its entry until the configuration is saved next.
  mStartupBankPath.Set("");
  WDL_String factory(mPluginPath.Get());
  factory.Append(kFactoryBank);
  // Without a factory bank the programs stay as the framework made them.
  LoadBankFromFXB(&factory);
}

void Synth::initPreset() {
  WDL_MutexLock lock(&mMutex);
  for (int i = 0; i < NParams(); ++i) {
    IParam* pParam = GetParam(i);
    SetParameterFromGUI(i, pParam->GetNormalized(pParam->GetDefault()));
  }
  ModifyCurrentPreset("Init");
  RedrawParamControls();
  DirtyParameters();
}

void Synth::copyPreset() {
  WDL_MutexLock lock(&mMutex);
  ModifyCurrentPreset(nullptr);
  mCopiedPreset = mCurrentPresetIdx;
  mPresetClipboard.Clear();
  SerializeState(&mPresetClipboard);
}

void Synth::pastePreset() {
  if (mPresetClipboard.Size() == 0) return;
  WDL_MutexLock lock(&mMutex);
  UnserializeState(&mPresetClipboard, 0);
  // A copy of the name: the current program may be the copied one, whose name is replaced.
  const WDL_String name(GetPresetName(mCopiedPreset));
  ModifyCurrentPreset(name.Get());
  RedrawParamControls();
  DirtyParameters();
}

bool Synth::changePreset(int index) {
  WDL_MutexLock lock(&mMutex);
  // The program being left keeps the live state, unsaved edits included.
  ModifyCurrentPreset(nullptr);
  const bool ok = RestorePreset(index);
  InformHostOfProgramChange();
  DirtyParameters();
  return ok;
}
