#pragma once
// One automatable parameter: a plain value in [min, max], its mapping to the normalised
// 0..1 value hosts and the editor exchange, and the texts shown for it.
#include "base/heapbuf.h"

class IParam {
 public:
  enum EParamType { kTypeNone = 0, kTypeBool, kTypeInt, kTypeEnum, kTypeDouble };
  enum { kTextLen = 32 };  // size of every name, label, group and display-text buffer

  struct DisplayText {
    int mValue;
    char mText[kTextLen];
  };

  IParam();

  void InitBool(const char* name, bool defaultVal, const char* label = "", const char* group = "");
  void InitEnum(const char* name, int defaultVal, int nEnums, const char* label = "",
                const char* group = "");
  void InitInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label = "",
               const char* group = "");
  void InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                  const char* label = "", const char* group = "", double shape = 1.0);

  void Set(double value);
  void SetDisplayText(int value, const char* text);
  void SetShape(double shape);
  void SetNegateDisplay(bool negate = true) { mNegateDisplay = negate; }

  void SetNormalized(double normalizedValue);
  double GetNormalized() const { return GetNormalized(mValue); }
  double GetNormalized(double nonNormalizedValue) const;
  double GetNonNormalized(double normalizedValue) const;

  double Value() const { return mValue; }
  bool Bool() const { return mValue >= 0.5; }
  int Int() const { return (int)mValue; }
  double DBToAmp() const;
  EParamType Type() const { return mType; }
  double GetDefault() const { return mDefault; }
  double GetStep() const { return mStep; }
  double GetShape() const { return mShape; }
  int GetDisplayPrecision() const { return mDisplayPrecision; }
  bool GetNegateDisplay() const { return mNegateDisplay; }

  // Writes the display text of value into out (outSize bytes, always terminated).
  void GetDisplayForHost(double value, bool normalized, char* out, int outSize,
                         bool withDisplayText = true) const;
  void GetDisplayForHost(char* out, int outSize, bool withDisplayText = true) const {
    GetDisplayForHost(mValue, false, out, outSize, withDisplayText);
  }
  const char* GetNameForHost() const { return mName; }
  const char* GetLabelForHost() const;
  const char* GetParamGroupForHost() const { return mParamGroup; }

  int GetNDisplayTexts() const { return mDisplayTexts.GetSize(); }
  const char* GetDisplayText(int value) const;
  const char* GetDisplayTextAtIdx(int idx, int* value = nullptr) const;
  bool MapDisplayText(const char* text, int* value) const;
  void GetBounds(double* lo, double* hi) const {
    if (lo) *lo = mMin;
    if (hi) *hi = mMax;
  }
  double GetMin() const { return mMin; }
  double GetMax() const { return mMax; }

 private:
  void InitCommon(const char* name, double defaultVal, const char* label, const char* group,
                  EParamType type);

  EParamType mType = kTypeNone;
  double mValue = 0.0;
  double mMin = 0.0;
  double mMax = 1.0;
  double mStep = 1.0;
  double mShape = 1.0;
  double mDefault = 0.0;
  int mDisplayPrecision = 0;
  char mName[kTextLen];
  char mLabel[kTextLen];
  char mParamGroup[kTextLen];
  bool mNegateDisplay = false;
  WDL_TypedBuf<DisplayText> mDisplayTexts;
};

// Copies src into dst (dstSize bytes), truncating and always terminating; null src gives "".
void CopyBounded(char* dst, int dstSize, const char* src);
