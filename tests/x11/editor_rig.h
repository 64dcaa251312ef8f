#pragma once
// A small plug-in with the X11 editor in a host window of the test's private X server, and a
// user-interface thread that opens the editor and keeps sending the host's idle call. The test's
// main thread plays the user through XTEST (x11_rig.h).
#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "editor/IControl.h"
#include "editor/IGraphics.h"
#include "editor/platform/IGraphicsLinux.h"
#include "plugin/IPlugVST.h"
#include "plugin/vst2abi.h"
#include "support/x11_rig.h"

namespace quenta_test {

enum { kKnob, kPad, kNumber, kNumParams };

// Where the controls sit, in editor coordinates.
constexpr IRECT kKnobRect(100, 100, 164, 164);
constexpr IRECT kPadRect(300, 100, 400, 200);
constexpr IRECT kActionRect(500, 100, 600, 200);
constexpr IRECT kRedRect(700, 100, 740, 140);

// Writes every event it gets as a line: "down 310,120 LC".
class RecorderControl : public IControl {
 public:
  using IControl::IControl;
  bool Draw(IGraphics*) override { return true; }
  void OnMouseDown(int x, int y, const IMouseMod& m) override { Log("down", x, y, &m); }
  void OnMouseUp(int x, int y, const IMouseMod& m) override { Log("up", x, y, &m); }
  void OnMouseDblClick(int x, int y, const IMouseMod& m) override { Log("dbl", x, y, &m); }
  void OnMouseDrag(int x, int y, int, int, const IMouseMod& m) override { Log("drag", x, y, &m); }
  void OnMouseOver(int x, int y, const IMouseMod& m) override { Log("over", x, y, &m); }
  void OnMouseOut() override { Log("out", 0, 0, nullptr); }
  std::vector<std::string> Take() {
    std::lock_guard<std::mutex> lock(mLock);
    return std::exchange(mLines, {});
  }

 private:
  void Log(const char* what, int x, int y, const IMouseMod* m) {
    std::string line = what;
    if (m)
      line += " " + std::to_string(x) + "," + std::to_string(y) + " " + (m->L ? "L" : "") +
              (m->R ? "R" : "") + (m->S ? "S" : "") + (m->C ? "C" : "") + (m->A ? "A" : "");
    std::lock_guard<std::mutex> lock(mLock);
    mLines.push_back(line);
  }
  std::mutex mLock;
  std::vector<std::string> mLines;
};

// Runs the test's action (on the user-interface thread) when clicked; bound to kNumber.
class ActionControl : public IControl {
 public:
  using IControl::IControl;
  bool Draw(IGraphics*) override { return true; }
  void OnMouseDown(int, int, const IMouseMod&) override {
    if (mAction) mAction(this);
  }
  void OnMouseDblClick(int x, int y, const IMouseMod& m) override { OnMouseDown(x, y, m); }
  std::function<void(ActionControl*)> mAction;
};

// A knob drawn as a square whose red shows its value.
class TestKnob : public IKnobControl {
 public:
  using IKnobControl::IKnobControl;
  bool Draw(IGraphics* pGraphics) override {
    return pGraphics->FillIRect(IColor(255, (int)(mValue * 255.0 + 0.5), 128, 128), mRECT);
  }
};

class EditorPlug : public IPlugVST {
 public:
  EditorPlug()
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
  RecorderControl* Recorder() const { return mRecorder; }
  ActionControl* Action() const { return mAction; }
  // The Begin, Automate and End calls the host had since the last call.
  int TakeEdits() { return mEdits.exchange(0); }
  void ProcessDoubleReplacing(double**, double** outputs, int nFrames) override {
    for (int c = 0; c < 2; ++c)
      for (int i = 0; i < nFrames; ++i) outputs[c][i] = 0.25;
  }
  static VstIntPtr HostCallback(AEffect* effect, VstInt32 opcode, VstInt32, VstIntPtr, void*,
                                float) {
    if (opcode == audioMasterVersion) return 2400;
    auto* plug =
        effect ? dynamic_cast<EditorPlug*>(static_cast<IPlugVST*>(effect->object)) : nullptr;
    if (plug && (opcode == audioMasterBeginEdit || opcode == audioMasterAutomate ||
                 opcode == audioMasterEndEdit))
      ++plug->mEdits;
    return 0;
  }

 private:
  RecorderControl* mRecorder;
  ActionControl* mAction;
  std::atomic<int> mEdits{0};
};

// The host's side: a window, the plug-in, and its user-interface thread sending effEditIdle
// every few milliseconds once the editor is open in that window.
class EditorSession {
 public:
  explicit EditorSession(quenta_test::XRig& rig) : mRig(rig), mPlug(new EditorPlug) {
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
  ~EditorSession() {
    mStop = true;
    if (mThread.joinable()) mThread.join();
    mRig.DestroyWindow(mHostWindow);
  }
  bool Opened() const { return mOpened; }
  EditorPlug& Plug() { return *mPlug; }
  AEffect* Effect() { return mPlug->GetAEffect(); }
  uint32_t HostWindow() const { return mHostWindow; }
  uint32_t EditorWindow() {  // the editor's child window in the host window
    const std::vector<uint32_t> kids = mRig.Children(mHostWindow);
    return kids.empty() ? 0 : kids.front();
  }
  // Runs fn on the user-interface thread between two idle calls and waits for it.
  void OnUiThread(const std::function<void()>& fn) {
    std::unique_lock<std::mutex> lock(mTaskLock);
    mTask = fn;
    mTaskPending = true;
    mTaskDone.wait(lock, [this] { return !mTaskPending; });
  }
  // The dispatcher with a window id as its pointer, on the user-interface thread.
  VstIntPtr Dispatch(VstInt32 opcode, uint32_t window = 0) {
    AEffect* e = Effect();
    VstIntPtr result = 0;
    OnUiThread([&] { result = e->dispatcher(e, opcode, 0, 0, (void*)(uintptr_t)window, 0.0f); });
    return result;
  }
  // Waits (at most about timeoutMs) until pred holds.
  static bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 3000) {
    for (int waited = 0; waited < timeoutMs; waited += 5) {
      if (pred()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return pred();
  }
  void MoveTo(int x, int y) {  // into the editor, then Settle
    mRig.MoveInto(EditorWindow(), x, y);
    Settle();
  }
  void Settle() {  // lets a few idle calls pass
    const int start = mIdles;
    WaitFor([&] { return mIdles >= start + 3; });
  }

 private:
  quenta_test::XRig& mRig;
  std::unique_ptr<EditorPlug> mPlug;
  uint32_t mHostWindow = 0;
  std::atomic<bool> mOpened{false}, mStop{false};
  std::atomic<int> mIdles{0};
  std::mutex mTaskLock;
  std::condition_variable mTaskDone;
  std::function<void()> mTask;
  bool mTaskPending = false;
  std::thread mThread;
};

// A test with the editor open: the action control and the editor's pop-ups and boxes.
class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(rig.Ok());
    session.reset(new EditorSession(rig));
    ASSERT_TRUE(session->Opened());
  }
  // Whatever a failed test left open is dismissed so the user-interface thread can stop.
  void TearDown() override {
    for (int i = 0; i < 3; ++i) {
      if (rig.MappedTopLevels(true).empty() && rig.MappedTopLevels(false).empty()) break;
      rig.Tap(XKB_KEY_Escape);
      EditorSession::WaitFor([] { return false; }, 100);
    }
    session.reset();
  }
  // Sets what a click on the action control does, then clicks it.
  void ClickAction(std::function<void(ActionControl*)> action) {
    session->OnUiThread([&] { session->Plug().Action()->mAction = action; });
    session->MoveTo(550, 150);
    rig.WatchGrab();
    rig.Click(1);
  }
  // The count-th pop-up (menu) or box once it takes input: a menu once it holds the pointer
  // (seen without a probe, which could take the pointer from the editor's attempts to grab
  // it), a box once it has the keyboard's focus. Input sent before is lost.
  uint32_t WaitForWindow(bool popUp, size_t count = 1) {
    uint32_t w = 0;
    EditorSession::WaitFor([&] {
      const std::vector<uint32_t> all = rig.MappedTopLevels(popUp);
      w = all.size() >= count ? all[count - 1] : 0;
      return w && (popUp ? rig.GrabSeen() : rig.Focus() == w);
    });
    return w;
  }

  quenta_test::XRig rig;
  std::unique_ptr<EditorSession> session;
};

}  // namespace quenta_test
