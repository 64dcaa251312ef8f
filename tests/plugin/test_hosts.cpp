// Host identification: substrings of the lower-cased product name, the first key in the fixed
// order winning ("live" before "melodyne", for one).
#include <gtest/gtest.h>

#include "plugin/Hosts.h"

namespace {

TEST(LookUpHost, SubstringsOfTheLowerCasedProductNameInTheFixedOrder) {
  const struct {
    const char* product;
    EHost host;
  } cases[] = {{"REAPER", kHostReaper},
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
               {nullptr, kHostUnknown},
               {"Nuendo with Cubase inside", kHostCubase},
               {"reaper live", kHostReaper},
               {"Melodyne Live", kHostAbletonLive},
               {"We deliver audio", kHostAbletonLive},
               {"Digital Logic", kHostLogic},
               {"ProTools Live", kHostAbletonLive},
               {"Standalone Renoise", kHostRenoise},
               {"Forte Chainer", kHostForte},
               {"Orion SAWStudio", kHostOrion}};
  for (const auto& c : cases)
    EXPECT_EQ(LookUpHost(c.product), c.host) << (c.product ? c.product : "null");
}

}  // namespace
