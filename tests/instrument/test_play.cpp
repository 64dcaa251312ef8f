// The instrument plays: notes rendered through the exported entry point, measured.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/audio_measure.h"
#include "instrument/params.h"
#include "support/test_host.h"

using quenta_test::TestHost;
using namespace audio;

namespace {

// Renders `frames` samples in blocks of `block` through the double callback and returns the
// left channel.
std::vector<double> Render(TestHost& host, int frames, int block) {
  std::vector<double> out;
  out.reserve((size_t)frames);
  for (int done = 0; done < frames; done += block) {
    int n = std::min(block, frames - done);
    host.ProcessDoubleReplacing(n);
    const std::vector<double>& l = host.OutputD(0);
    out.insert(out.end(), l.begin(), l.begin() + n);
  }
  return out;
}

TEST(Play, Note69SoundsAt440HzAt8Foot) {
  TestHost host;
  ASSERT_TRUE(host.Instantiate());
  host.StartSession(48000.0f, 512);
  host.SendMidi({TestHost::Midi(0, 0x90, 69, 100)});
  std::vector<double> out = Render(host, 48000, 512);
  // Skip the attack, measure a second half.
  double f = crossingFrequency(out.data() + 24000, 24000, 48000.0);
  EXPECT_NEAR(f, 440.0, 0.5);
  EXPECT_GT(rms(out.data() + 24000, 24000), 0.01);
  for (double s : out) ASSERT_TRUE(std::isfinite(s));
  host.Close();
}

}  // namespace
