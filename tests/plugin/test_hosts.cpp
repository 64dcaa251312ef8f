// Host identification: substrings of the lower-cased product name, the first key in a fixed
// order winning ("live" before "melodyne"); only stereo-limiting hosts change what we do.
#include <gtest/gtest.h>

#include "plugin/Hosts.h"

namespace {

TEST(LookUpHost, SubstringsOfTheLowerCasedProductNameInTheFixedOrder) {
  const struct {
    const char* product;
    EHost host;
  } cases[] = {{"Forte Chainer", kHostForte},
               {"Adobe Audition", kHostAudition},
               {"Orion SAWStudio", kHostOrion},
               {"SAWStudio", kHostSAWStudio},
               {"Cubase VST", kHostCubase},
               {"Nuendo with Cubase inside", kHostCubase},
               {"reaper live", kHostReaper},
               {"Melodyne Live", kHostAbletonLive},
               {"We deliver audio", kHostAbletonLive},
               {"Fruity Loops", kHostFL},
               {"FL Studio", kHostUnknown},
               {"AU Lab", kHostUnknown},
               {"PreSonus Studio One", kHostStudioOne},
               {"Studio One", kHostUnknown},
               {"", kHostUnknown},
               {nullptr, kHostUnknown}};
  for (const auto& c : cases)
    EXPECT_EQ(LookUpHost(c.product), c.host) << (c.product ? c.product : "null");
}

}  // namespace
