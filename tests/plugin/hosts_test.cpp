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

TEST(HostNames, UnknownCodesAndTheGapsOfTheTable) {
  const struct {
    int code;
    const char* name;
  } cases[] = {{-1, "Unknown"}, {0, "Unknown"},  {1, "Reaper"},    {9, "Live"},     {10, "Unknown"}, {12, "Unknown"},
               {13, "VSTScanner"}, {19, "Unknown"}, {20, "SAWStudio"}, {30, "OpenMPT"}, {31, "Unknown"}, {1000, "Unknown"}};
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

// "YYYYMMDD HH:MM +HHMM" in the zone tz, the offset as given.
void ExpectTimeForm(const char* tz, const char* offset) {
  setenv("TZ", tz, 1);
  tzset();
  const std::string s = CurrentTime();
  const std::string form = "dddddddd dd:dd sdddd";
  ASSERT_EQ(s.size(), form.size()) << s;
  for (size_t i = 0; i < s.size(); ++i) {
    const bool ok = form[i] == 'd' ? (s[i] >= '0' && s[i] <= '9') : form[i] == 's' || s[i] == form[i];
    EXPECT_TRUE(ok) << s;
  }
  EXPECT_EQ(s.substr(s.size() - 5), offset);
}

TEST(CurrentTime, LocalTimeFollowedByTheSignedOffset) {
  const char* tz = std::getenv("TZ");
  const std::string oldTZ = tz ? tz : "";
  ExpectTimeForm("UTC0", "+0000");
  ExpectTimeForm("<+0530>-5:30", "+0530");
  ExpectTimeForm("<-0330>3:30", "-0330");

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
  const std::string before = stamp(), now = CurrentTime(), after = stamp();
  EXPECT_TRUE(now.rfind(before, 0) == 0 || now.rfind(after, 0) == 0) << now;
  if (tz)
    setenv("TZ", oldTZ.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

}  // namespace
