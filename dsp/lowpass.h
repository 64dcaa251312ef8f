#pragma once
// Second-order Butterworth low-pass (Q = 1/sqrt 2). The instrument runs two of them at one
// step per control frame as the lag processors; it works at any rate.

class LowPass {
 public:
  LowPass();

  // Sets the rate the filter runs at, clears the history and recomputes the coefficients for
  // the stored cut-off. Rates of 0 or below (or not a number) are ignored.
  void setSampleRate(float rate);
  // Stores the cut-off in hertz and recomputes the coefficients.
  void setCutOff(double hz);
  double getCutOff() const { return cutOff; }

  // One sample in, one out.
  double process(double x) {
    // A tiny offset of alternating sign keeps input and history away from subnormal values;
    // anything that is not a finite number is replaced by 0.
    const double ad = antiDenormal;
    x = clean(x + ad);
    const double xa = clean(x1 + ad);
    const double xb = clean(x2 + ad);
    const double ya = clean(y1 + ad);
    const double yb = clean(y2 + ad);
    antiDenormal = -ad;
    const double y = b0 * (x + xb) + b1 * xa + a1 * ya + a2 * yb;
    x2 = xa;
    x1 = x;
    y2 = ya;
    y1 = y;
    return y;
  }

  // The same for n samples in place.
  void process(double* buffer, int n);

 private:
  // v - v is 0 for every finite v and not a number for infinities and NaN. Infinities are
  // dropped too: one would otherwise keep the history cycling through inf and NaN for good.
  static double clean(double v) { return v - v == 0.0 ? v : 0.0; }
  void calcCoefficients();

  double cutOff;
  double omegaScale;
  double a1, a2;
  double b0, b1;
  double x1, x2, y1, y2;
  double antiDenormal;
};
