// Host identification, host and plug-in versions, and the small text and time utilities.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "plugin/Hosts.h"
#include "plugin/Log.h"
#include "test_plug.h"

using namespace plugtest;

namespace {

TEST(LookUpHost, SubstringsOfTheLowerCasedProductName) {
  const struct {
    const char* product;
    EHost host;
  } cases[] = {
      {"REAPER", kHostReaper},
      {"Cubase VST", kHostCubase},
      {"Nuendo", kHostNuendo},
      {"Cakewalk SONAR", kHostSonar},
      {"Fruity Loops", kHostFL},
      {"FL Studio", kHostUnknown},
      {"Samplitude Pro X", kHostSamplitude},
      {"Ableton Live", kHostAbletonLive},
      {"Melodyne", kHostMelodyneStudio},
      {"vstmanlib", kHostVSTScanner},
      {"AULab", kHostAULab},
      {"AU Lab", kHostUnknown},
      {"GarageBand", kHostGarageBand},
      {"Forte", kHostForte},
      {"Chainer", kHostChainer},
      {"Adobe Audition", kHostAudition},
      {"Orion", kHostOrion},
      {"SAWStudio", kHostSAWStudio},
      {"Logic Pro X", kHostLogic},
      {"Digital Performer", kHostDigitalPerformer},
      {"AudioMulch", kHostAudioMulch},
      {"Studio One", kHostUnknown},
      {"PreSonus Studio One", kHostStudioOne},
      {"VST3PluginTestHost", kHostVST3TestHost},
      {"ProTools", kHostProTools},
      {"Ardour", kHostArdour},
      {"OpenMPT", kHostOpenMPT},
      {"Renoise", kHostRenoise},
      {"Standalone", kHostStandalone},
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

TEST(HostNames, DisplayNamesAndUnknownCodes) {
  const struct {
    int code;
    const char* name;
  } cases[] = {{-1, "Unknown"}, {0, "Unknown"}, {1, "Reaper"}, {2, "ProTools"}, {3, "Cubase"}, {4, "Nuendo"},
               {5, "Sonar"}, {6, "Vegas"}, {7, "FLStudio"}, {8, "Samplitude"}, {9, "Live"}, {10, "Unknown"},
               {11, "Unknown"}, {12, "Unknown"}, {13, "VSTScanner"}, {14, "AULab"}, {15, "Forte"}, {16, "Chainer"},
               {17, "Audition"}, {18, "Orion"}, {19, "Unknown"}, {20, "SAWStudio"}, {21, "Logic"},
               {22, "GarageBand"}, {23, "DigitalPerformer"}, {24, "Standalone"}, {25, "AudioMulch"},
               {26, "StudioOne"}, {27, "VST3PluginTestHost"}, {28, "Ardour"}, {29, "Renoise"}, {30, "OpenMPT"},
               {31, "Unknown"}, {1000, "Unknown"}};
  for (const auto& c : cases) {
    char out[32] = "garbage";
    GetHostNameStr((EHost)c.code, out);
    EXPECT_STREQ(out, c.name) << c.code;
  }
}

TEST(HostVersion, PackedDecimalAndText) {
  TestPlug plug;
  plug.SetHost("REAPER v5", (5 << 16) | (12 << 8) | 3);
  EXPECT_EQ(plug.GetHost(), kHostReaper);
  EXPECT_EQ(plug.GetHostVersion(false), 0x50C03);
  EXPECT_EQ(plug.GetHostVersion(true), 51203);
  char s[32];
  plug.GetHostVersionStr(s);
  EXPECT_STREQ(s, "v5.12.3");
}

TEST(HostVersion, AskedOnceFromTheHostAndConvertedFromDecimal) {
  TestPlugConfig c;
  c.recordHost = true;
  TestPlug plug(c);
  plug.mHostProduct = "Ardour";
  plug.mHostVendorVersion = 80412;
  EXPECT_EQ(plug.GetHost(), kHostArdour);
  EXPECT_EQ(plug.GetHostVersion(false), (8 << 16) | (4 << 8) | 12);
  EXPECT_EQ(plug.GetHost(), kHostArdour);
  EXPECT_EQ(plug.CountHostCalls(audioMasterGetProductString), 1);
  EXPECT_EQ(plug.CountHostCalls(audioMasterGetVendorVersion), 1);
}

TEST(PlugVersion, DecimalAndText) {
  TestPlug plug;
  EXPECT_EQ(plug.GetEffectVersion(false), kTestVersion);
  EXPECT_EQ(plug.GetEffectVersion(true), kTestVersionDecimal);
  char s[32];
  plug.GetEffectVersionStr(s);
  EXPECT_STREQ(s, "v2.3.5");
  EXPECT_STREQ(plug.GetArchString(), "x64");
  EXPECT_STREQ(GetAPIString(plug.GetAPI()), "VST2");
}

TEST(TextUtilities, ToLowerAndIsWhitespace) {
  char buf[32] = "MiXeD Case 42\xC3\x84";
  ToLower(buf, buf);
  EXPECT_STREQ(buf, "mixed case 42\xC3\x84");
  char out[8];
  ToLower(out, "ABC");
  EXPECT_STREQ(out, "abc");
  ToLower(out, "");
  EXPECT_STREQ(out, "");

  for (char c : {'\t', '\n', '\r', ' '}) EXPECT_TRUE(IsWhitespace(c)) << (int)c;
  for (char c : {'\v', '\f', '\0', 'a', '_', '\xA0'}) EXPECT_FALSE(IsWhitespace(c)) << (int)c;
}

TEST(Tracing, DoesNothingObservable) {
  Trace("tag", 1, "%d", 5);
  EXPECT_STREQ(VSTOpcodeStr(effOpen), "");
  EXPECT_STREQ(AUSelectStr(1), "");
  EXPECT_STREQ(AUPropertyStr(1), "");
  EXPECT_STREQ(AUScopeStr(1), "");
}

// "YYYYMMDD HH:MM +HHMM"
bool HasTimeForm(const std::string& s) {
  const std::string form = "dddddddd dd:dd sdddd";
  if (s.size() != form.size()) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (form[i] == 'd' && !(c >= '0' && c <= '9')) return false;
    if (form[i] == 's' && c != '+' && c != '-') return false;
    if (form[i] != 'd' && form[i] != 's' && c != form[i]) return false;
  }
  return true;
}

class CurrentTimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    mHadTZ = tz != nullptr;
    if (tz) mOldTZ = tz;
  }
  void TearDown() override {
    if (mHadTZ)
      setenv("TZ", mOldTZ.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  static std::string Now(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
    return CurrentTime();
  }
  bool mHadTZ = false;
  std::string mOldTZ;
};

TEST_F(CurrentTimeTest, LocalTimeFollowedByTheSignedOffset) {
  const std::string utc = Now("UTC0");
  EXPECT_TRUE(HasTimeForm(utc)) << utc;
  EXPECT_EQ(utc.substr(utc.size() - 5), "+0000");

  const std::string east = Now("<+0530>-5:30");
  EXPECT_TRUE(HasTimeForm(east)) << east;
  EXPECT_EQ(east.substr(east.size() - 5), "+0530");

  const std::string west = Now("<-0330>3:30");
  EXPECT_TRUE(HasTimeForm(west)) << west;
  EXPECT_EQ(west.substr(west.size() - 5), "-0330");

  // The date and time are today's, in local time.
  setenv("TZ", "UTC0", 1);
  tzset();
  auto stamp = [] {
    char buf[32];
    time_t t = time(nullptr);
    struct tm tm;
    localtime_r(&t, &tm);
    strftime(buf, sizeof buf, "%Y%m%d %H:%M ", &tm);
    return std::string(buf);
  };
  const std::string before = stamp();
  const std::string now = CurrentTime();
  const std::string after = stamp();
  EXPECT_TRUE(now.rfind(before, 0) == 0 || now.rfind(after, 0) == 0) << now;
}

}  // namespace
