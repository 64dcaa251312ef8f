#pragma once
// One peak of a section's resonator bank: a band-pass biquad with a Q of 2 and a gain of 2 at
// its centre. The centre follows position + smoothed modulation along a fourth-power curve
// from 80 Hz (0 and below) to 10000 Hz (1 and above).

class Resonator {
 public:
  Resonator();

  // Recomputes the rate-dependent constants and clears coefficients, history and modulation;
  // position and intensity go back to 0.5 and 0. Rates of 0 or below are ignored.
  void setSampleRate(float rate);

  // Once per control frame: smooths the modulation and, when position + modulation moved,
  // recomputes the coefficients.
  void update(double mod);

  // Adds this peak's share of the section to out: with three peaks adding into a cleared
  // buffer the section carries x + intensity * (2/3 (r1 + r2 + r3) - x).
  void process(const double* in, double* out, int n);

  // Set directly by the Block.
  double position;   // centre position 0 .. 1
  double intensity;  // "RS Int"

 private:
  double omegaMin;
  double omegaMax;
  double b0;
  double a1;
  double a2;
  double smoothA;
  double smoothB;
  double modSmoothed;
  double lastX;
  double x1, x2, y1, y2;
};
