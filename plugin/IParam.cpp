#include "plugin/IParam.h"

#include <cmath>
#include <cstdio>
#include <cstring>

void CopyBounded(char* dst, int dstSize, const char* src) {
  if (!dst || dstSize <= 0) return;
  if (!src) src = "";
  size_t n = strnlen(src, (size_t)dstSize - 1);
  std::memcpy(dst, src, n);
  dst[n] = '\0';
}

IParam::IParam() : mDisplayTexts(16 * (int)sizeof(DisplayText)) {
  mName[0] = mLabel[0] = mParamGroup[0] = '\0';
}

void IParam::InitCommon(const char* name, double defaultVal, const char* label, const char* group,
                        EParamType type) {
  if (mType == kTypeNone) mType = type;
  CopyBounded(mName, kTextLen, name);
  CopyBounded(mLabel, kTextLen, label);
  CopyBounded(mParamGroup, kTextLen, group);
  mValue = mDefault = defaultVal;
}

void IParam::InitBool(const char* name, bool defaultVal, const char* label, const char* group) {
  InitCommon(name, defaultVal ? 1.0 : 0.0, label, group, kTypeBool);
  mMin = 0.0;
  mMax = 1.0;
  mStep = 1.0;
  mShape = 1.0;
  mDisplayPrecision = 0;
  SetDisplayText(0, "off");
  SetDisplayText(1, "on");
}

void IParam::InitEnum(const char* name, int defaultVal, int nEnums, const char* label,
                      const char* group) {
  InitCommon(name, defaultVal, label, group, kTypeEnum);
  mMin = 0.0;
  mMax = nEnums - 1 > 1 ? nEnums - 1 : 1;
  mStep = 1.0;
  mShape = 1.0;
  mDisplayPrecision = 0;
}

void IParam::InitInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label,
                     const char* group) {
  InitCommon(name, defaultVal, label, group, kTypeInt);
  mMin = minVal;
  mMax = (double)maxVal > (double)minVal + 1.0 ? (double)maxVal : (double)minVal + 1.0;
  mStep = 1.0;
  mShape = 1.0;
  mDisplayPrecision = 0;
}

void IParam::InitDouble(const char* name, double defaultVal, double minVal, double maxVal,
                        double step, const char* label, const char* group, double shape) {
  InitCommon(name, defaultVal, label, group, kTypeDouble);
  mMin = minVal;
  mMax = maxVal > minVal + step ? maxVal : minVal + step;
  mStep = step;
  SetShape(shape);
  // Decimals shown: how many times the step must be scaled by ten to become whole (at most 6).
  mDisplayPrecision = 0;
  double s = step;
  while (mDisplayPrecision < 6 && s != std::floor(s)) {
    s *= 10.0;
    ++mDisplayPrecision;
  }
}

void IParam::Set(double value) {
  if (value < mMin) value = mMin;
  if (value > mMax) value = mMax;
  if (value == value) mValue = value;  // a NaN leaves the value as it was
}

void IParam::SetDisplayText(int value, const char* text) {
  DisplayText dt;
  std::memset(&dt, 0, sizeof(dt));
  dt.mValue = value;
  CopyBounded(dt.mText, kTextLen, text);
  mDisplayTexts.Add(dt);
}

void IParam::SetShape(double shape) {
  if (shape != 0.0) mShape = shape;
}

void IParam::SetNormalized(double normalizedValue) {
  if (!(normalizedValue >= 0.0)) normalizedValue = 0.0;  // also NaN
  if (normalizedValue > 1.0) normalizedValue = 1.0;
  double v = mMin + (mMax - mMin) * std::pow(normalizedValue, mShape);
  if (mType != kTypeDouble) v = std::floor(v / mStep + 0.5) * mStep;
  if (v > mMax) v = mMax;
  mValue = v;
}

double IParam::GetNormalized(double nonNormalizedValue) const {
  double x = nonNormalizedValue;
  if (!(x >= mMin)) x = mMin;
  if (x > mMax) x = mMax;
  return std::pow((x - mMin) / (mMax - mMin), 1.0 / mShape);
}

double IParam::GetNonNormalized(double normalizedValue) const {
  return mMin + (mMax - mMin) * std::pow(normalizedValue, mShape);
}

double IParam::DBToAmp() const { return std::exp(mValue * 0.1151292546497); }

void IParam::GetDisplayForHost(double value, bool normalized, char* out, int outSize,
                               bool withDisplayText) const {
  if (!out || outSize <= 0) return;
  if (normalized) value = GetNonNormalized(value);
  if (withDisplayText && value == value && std::fabs(value) < 2147483647.0) {
    const char* text = GetDisplayText((int)value);
    if (text[0]) {
      CopyBounded(out, outSize, text);
      return;
    }
  }
  if (mNegateDisplay) value = -value;
  if (mDisplayPrecision == 0) {
    // Truncate toward zero; values outside the int range are clamped to it.
    int iv = 0;
    if (value >= 2147483647.0)
      iv = 2147483647;
    else if (value <= -2147483648.0)
      iv = -2147483647 - 1;
    else if (value == value)
      iv = (int)value;
    std::snprintf(out, (size_t)outSize, "%d", iv);
  } else {
    std::snprintf(out, (size_t)outSize, "%.*f", mDisplayPrecision, value);
  }
}

const char* IParam::GetLabelForHost() const {
  if (mValue == mValue && std::fabs(mValue) < 2147483647.0) {
    const char* text = GetDisplayText((int)mValue);
    if (text[0]) return "";
  }
  return mLabel;
}

const char* IParam::GetDisplayText(int value) const {
  int n = mDisplayTexts.GetSize();
  const DisplayText* dt = mDisplayTexts.Get();
  for (int i = 0; i < n; ++i)
    if (dt[i].mValue == value) return dt[i].mText;
  return "";
}

const char* IParam::GetDisplayTextAtIdx(int idx, int* value) const {
  if (idx < 0 || idx >= mDisplayTexts.GetSize()) return "";
  const DisplayText& dt = mDisplayTexts.Get()[idx];
  if (value) *value = dt.mValue;
  return dt.mText;
}

bool IParam::MapDisplayText(const char* text, int* value) const {
  if (!text) return false;
  int n = mDisplayTexts.GetSize();
  const DisplayText* dt = mDisplayTexts.Get();
  for (int i = 0; i < n; ++i) {
    if (std::strcmp(dt[i].mText, text) == 0) {
      if (value) *value = dt[i].mValue;
      return true;
    }
  }
  return false;
}
