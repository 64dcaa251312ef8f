#pragma once
// The editor as the plug-in base sees it: the operations the framework calls on an attached
// graphics object. The window system back ends implement it.

class IPlugBase;

class IGraphics {
 public:
  virtual ~IGraphics() {}

  // Moves the control(s) bound to parameter idx to value (normalised or plain).
  virtual void SetParameterFromPlug(int paramIdx, double value, bool normalized) = 0;
  // Called once after attaching, before the first drawing.
  virtual void PrepDraw() = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Opens the editor inside the host's parent window; returns the view, or null on failure.
  virtual void* OpenWindow(void* pParentWnd) = 0;
  virtual void CloseWindow() = 0;
};
