#include "editor_rig.h"

#include <chrono>
#include <utility>

#include "editor/platform/IGraphicsLinux.h"
#include "plugin/vst2abi.h"

namespace x11test {

namespace {

// A knob drawn as a square whose red shows its value.
class TestKnob : public IKnobControl {
 public:
  using IKnobControl::IKnobControl;
  bool Draw(IGraphics* pGraphics) override {
    return pGraphics->FillIRect(IColor(255, (int)(mValue * 255.0 + 0.5), 128, 128), mRECT);
  }
};
}  // namespace

void RecorderControl::Log(const char* what, int x, int y, const IMouseMod* m) {
  std::string line = what;
  if (m)
    line += " " + std::to_string(x) + "," + std::to_string(y) + " " + (m->L ? "L" : "") +
            (m->R ? "R" : "") + (m->S ? "S" : "") + (m->C ? "C" : "") + (m->A ? "A" : "");
  std::lock_guard<std::mutex> lock(mLock);
  mLines.push_back(line);
}

std::vector<std::string> RecorderControl::Take() {
  std::lock_guard<std::mutex> lock(mLock);
  return std::exchange(mLines, {});
}

EditorPlug::EditorPlug()
    : IPlugVST(IPlugInstanceInfo{HostCallback}, kNumParams, "0-2", 1, "Editor Test", "",
               "Test Maker", 0x10000, 0x45645473, 0x54657374, 0, false, false, true) {
  GetParam(kKnob)->InitDouble("Knob", 0.5, 0.0, 1.0, 0.0001);
  GetParam(kPad)->InitDouble("Pad", 0.5, 0.0, 1.0, 0.0001);
  GetParam(kNumber)->InitInt("Number", 5, -50, 50);

  IGraphicsLinux* pGraphics = new IGraphicsLinux(this, 1480, 660, 0);
  pGraphics->AttachPanelBackground(IColor(255, 40, 40, 40));
  pGraphics->HandleMouseOver(true);
  pGraphics->AttachControl(new TestKnob(this, kKnobRect, kKnob));
  pGraphics->AttachControl(mRecorder = new RecorderControl(this, kPadRect, kPad));
  pGraphics->AttachControl(mAction = new ActionControl(this, kActionRect, kNumber));
  pGraphics->AttachControl(new IPanelControl(this, kRedRect, IColor(255, 255, 0, 0)));
  AttachGraphics(pGraphics);
}

void EditorPlug::ProcessDoubleReplacing(double**, double** outputs, int nFrames) {
  for (int c = 0; c < 2; ++c)
    for (int i = 0; i < nFrames; ++i) outputs[c][i] = 0.25;
}

VstIntPtr EditorPlug::HostCallback(AEffect* effect, VstInt32 opcode, VstInt32, VstIntPtr, void*,
                                   float) {
  if (opcode == audioMasterVersion) return 2400;
  auto* plug = effect ? dynamic_cast<EditorPlug*>(static_cast<IPlugVST*>(effect->object)) : nullptr;
  if (plug && (opcode == audioMasterBeginEdit || opcode == audioMasterAutomate ||
               opcode == audioMasterEndEdit))
    ++plug->mEdits;
  return 0;
}

EditorSession::EditorSession(quenta_test::XRig& rig) : mRig(rig), mPlug(new EditorPlug) {
  mHostWindow = rig.MakeHostWindow(0, 0, 1500, 700);
  mThread = std::thread([this] {
    AEffect* e = Effect();
    if (e->dispatcher(e, effEditOpen, 0, 0, (void*)(uintptr_t)mHostWindow, 0.0f) != 1) {
      mStop = true;
      return;
    }
    mOpened = true;
    while (!mStop) {
      e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
      ++mIdles;
      {
        std::unique_lock<std::mutex> lock(mTaskLock);
        if (mTaskPending) {
          mTask();
          mTaskPending = false;
          mTaskDone.notify_all();
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f);
  });
  WaitFor([this] { return mOpened.load() || mStop.load(); });
  Settle();
}

EditorSession::~EditorSession() {
  mStop = true;
  if (mThread.joinable()) mThread.join();
  mRig.DestroyWindow(mHostWindow);
}

void EditorSession::OnUiThread(const std::function<void()>& fn) {
  std::unique_lock<std::mutex> lock(mTaskLock);
  mTask = fn;
  mTaskPending = true;
  mTaskDone.wait(lock, [this] { return !mTaskPending; });
}

VstIntPtr EditorSession::Dispatch(VstInt32 opcode, uint32_t window) {
  AEffect* e = Effect();
  VstIntPtr result = 0;
  OnUiThread([&] { result = e->dispatcher(e, opcode, 0, 0, (void*)(uintptr_t)window, 0.0f); });
  return result;
}

bool EditorSession::WaitFor(const std::function<bool()>& pred, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 5) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return pred();
}

void EditorSession::Settle() {
  const int start = mIdles;
  WaitFor([&] { return mIdles >= start + 3; });
}

uint32_t EditorSession::EditorWindow() {
  const std::vector<uint32_t> kids = mRig.Children(mHostWindow);
  return kids.empty() ? 0 : kids.front();
}

void EditorSession::MoveTo(int x, int y) {
  mRig.MoveInto(EditorWindow(), x, y);
  Settle();
}

}  // namespace x11test
