#pragma once
// What a window back end does on the host's idle call (effEditIdle): read the window system's
// events and run the frame timer. Back ends without a run loop of their own implement it next
// to IGraphics; the plug-in binding calls it without holding the plug-in's lock.
class IEditorIdle {
 public:
  virtual void OnEditorIdle() = 0;

 protected:
  ~IEditorIdle() {}
};
