// Host identification: the product name looked up, the version asked once.
#include <gtest/gtest.h>

#include "plugin/Hosts.h"

namespace {

TEST(LookUpHost, SubstringsOfTheLowerCasedProductName) {
  const struct {
    const char* product;
    EHost host;
  } cases[] = {
      {"REAPER", kHostReaper},
      {"Cubase VST", kHostCubase},
      {"Fruity Loops", kHostFL},
      {"FL Studio", kHostUnknown},
      {"Ableton Live", kHostAbletonLive},
      {"vstmanlib", kHostVSTScanner},
      {"AULab", kHostAULab},
      {"AU Lab", kHostUnknown},
      {"Logic Pro X", kHostLogic},
      {"Studio One", kHostUnknown},
      {"PreSonus Studio One", kHostStudioOne},
      {"Ardour", kHostArdour},
      {"Bitwig Studio", kHostUnknown},
      {"", kHostUnknown},
  };
  for (const auto& c : cases) EXPECT_EQ(LookUpHost(c.product), c.host) << c.product;
  EXPECT_EQ(LookUpHost(nullptr), kHostUnknown);
}

TEST(LookUpHost, TheFirstKeyInTheFixedOrderWins) {
  EXPECT_EQ(LookUpHost("Cubase Nuendo"), kHostCubase);
  EXPECT_EQ(LookUpHost("Nuendo with Cubase inside"), kHostCubase);
  EXPECT_EQ(LookUpHost("reaper live"), kHostReaper);
  EXPECT_EQ(LookUpHost("Melodyne Live"), kHostAbletonLive);  // "live" comes before "melodyne"
  EXPECT_EQ(LookUpHost("We deliver audio"), kHostAbletonLive);
  EXPECT_EQ(LookUpHost("Digital Logic"), kHostLogic);
  EXPECT_EQ(LookUpHost("ProTools Live"), kHostAbletonLive);
  EXPECT_EQ(LookUpHost("Standalone Renoise"), kHostRenoise);
  EXPECT_EQ(LookUpHost("Forte Chainer"), kHostForte);
  EXPECT_EQ(LookUpHost("Orion SAWStudio"), kHostOrion);
}

}  // namespace
