// Tempo clock: grids measured from its triggers while it is driven like the instrument drives
// it (host transport record at every block, one tick per sample).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "dsp/clock.h"

namespace {

// The host side: tempo and song position, advanced by the blocks it asks for.
struct Transport {
  double tempo = 120.0;
  double samplePos = 0.0;
  bool running = true;
};

// Drives a clock as the instrument's render loop does and records, per rate, the index of
// every sample whose tick raised a trigger (asked after every tick to see exact timing).
class ClockRig {
 public:
  explicit ClockRig(double sampleRate) : rate(sampleRate) { clock.setSampleRate(rate); }

  void block(Transport& t, int n) {
    ITimeInfo ti;
    ti.mTempo = t.tempo;
    ti.mSamplePos = t.samplePos;
    ti.mPPQPos = t.samplePos / (60.0 / t.tempo * rate);
    ti.mTransportIsRunning = t.running;

    if (!syncStarted) {
      syncStarted = true;
      clock.synchronize(&ti);
    } else {
      if (ti.mTransportIsRunning != transportRunning) {
        transportRunning = ti.mTransportIsRunning;
        if (transportRunning) clock.reset();
      }
      if (transportRunning)
        clock.synchronize(&ti);
      else
        clock.calculateMarkers();
    }
    for (int i = 0; i < n; ++i, ++sample) {
      clock.tick();
      for (int r = 0; r <= Clock::kNumRates; ++r)
        if (clock.isTrigger(r)) triggers[r].push_back(sample);
    }
    if (t.running) t.samplePos += n;
  }

  void run(Transport& t, double seconds) {
    const long long end = sample + (long long)(seconds * rate);
    while (sample < end) block(t, 512);
  }

  // The first `count` triggers of a rate from sample `from` on, counted from there.
  std::vector<long long> since(int rate, long long from, size_t count) const {
    std::vector<long long> out;
    for (long long s : triggers[rate])
      if (s >= from && out.size() < count) out.push_back(s - from);
    return out;
  }

  double rate;  // of the host
  Clock clock;
  long long sample = 0;
  std::vector<long long> triggers[Clock::kNumRates + 1];

 private:
  bool syncStarted = false;
  bool transportRunning = false;
};

}  // namespace

TEST(Clock, GridsAt120BpmFollowTheHostPosition) {
  Transport host;
  ClockRig rig(44100.0);
  rig.run(host, 17.0);
  const long long total = rig.sample;

  // Quarter notes per interval, "off" and then "4/1" to "1/64".
  const double beats[Clock::kNumRates] = {
      0,    16,      12,  8,     6,       4,    3,      2,       1.5,   4.0 / 3, 1,
      0.75, 2.0 / 3, 0.5, 0.375, 1.0 / 3, 0.25, 0.1875, 1.0 / 6, 0.125, 0.0625};
  for (int r = 1; r < Clock::kNumRates; ++r) {
    SCOPED_TRACE(r);
    const double step = 22050.0 * beats[r];
    const std::vector<long long>& t = rig.triggers[r];
    ASSERT_GE(t.size(), 2u);
    EXPECT_EQ(t.front(), 0);
    // A grid point is seen by the tick of the sample that reaches it, one sample early at most.
    for (long long s : t) {
      const double d = std::fmod(double(s + 1), step);
      EXPECT_LE(std::fmin(d, step - d), 1.0) << "trigger at " << s;
    }
    EXPECT_NEAR(double(t.size()), std::floor(double(total) / step) + 1.0, 1.0);
    // Each gap within a sample of the interval (the host's quarter-note position carries
    // rounding noise), their mean exactly the interval.
    for (size_t i = 2; i < t.size(); ++i) EXPECT_NEAR(double(t[i] - t[i - 1]), step, 1.0);
    const double mean = double(t.back() - t[1]) / double(t.size() - 2);
    EXPECT_NEAR(t.size() > 2 ? mean : step, step, 2.0 / double(t.size()));
  }
  EXPECT_TRUE(rig.triggers[Clock::kRateOff].empty());
  EXPECT_TRUE(rig.triggers[Clock::kNumRates].empty());
}

TEST(Clock, TempoIsRoundedAndNonsenseMeans120) {
  Clock clock;
  clock.setSampleRate(44100.0);
  for (double tempo : {119.9996, 0.0, -40.0, std::nan(""), HUGE_VAL}) {
    ITimeInfo ti;
    ti.mTempo = tempo;
    clock.synchronize(&ti);
    EXPECT_EQ(clock.getPeriod(Clock::kRate1_4), 22050) << tempo;
  }

  Transport host;
  host.tempo = 90.0;
  ClockRig rig(48000.0);
  rig.run(host, 10.0);
  const std::vector<long long>& t = rig.triggers[Clock::kRate1_1Dotted];
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[2] - t[1], 192000);
}

TEST(Clock, TransportStartPlacesTheGridAtTheHostPosition) {
  // Loaded with the song at its start, stopped for a while: the clock runs on by itself.
  Transport host;
  host.running = false;
  ClockRig rig(44100.0);
  rig.run(host, 3.3);  // stops in the second half of a quarter, so the restart is an edge
  EXPECT_FALSE(rig.triggers[Clock::kRate1_4].empty());

  // Play from the start: every rate restarts at once, then the grid follows the song.
  host.running = true;
  long long start = rig.sample;
  rig.run(host, 2.0);
  EXPECT_EQ(rig.since(Clock::kRate1_4, start, 3), (std::vector<long long>{0, 22049, 44099}));
  EXPECT_EQ(rig.since(Clock::kRate1_16T, start, 1), std::vector<long long>{0});

  // Stop, then play from quarter-note position 2.25: restart now, the next quarter at 3, 0.75
  // quarter later (half a sample into 16537).
  host.running = false;
  rig.run(host, 0.8);
  host.samplePos = 2.25 * 22050.0;
  host.running = true;
  start = rig.sample;
  rig.run(host, 1.0);
  EXPECT_EQ(rig.since(Clock::kRate1_4, start, 2), (std::vector<long long>{0, 16537}));
}

TEST(Clock, StoppedClockKeepsItsTempoAcrossASampleRateChange) {
  // Stopped, the clock runs on by itself; the instrument's reset hands over a new rate.
  Transport host;
  ClockRig rig(44100.0);
  rig.run(host, 1.0);
  host.running = false;
  for (double rate : {44100.0, 48000.0}) {
    rig.clock.setSampleRate(rate);
    const long long from = rig.sample;
    rig.run(host, 2.0);
    const std::vector<long long> t = rig.since(Clock::kRate1_4, from, 3);
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[2] - t[1], rate / 2) << rate;
    EXPECT_EQ(t[1] - t[0], rate / 2) << rate;
  }
}
