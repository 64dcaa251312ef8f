#include "plugin/Hosts.h"

#include <cctype>
#include <cstring>
#include <string>

void ToLower(char* out, const char* in) {
  if (!out) return;
  if (!in) {
    out[0] = '\0';
    return;
  }
  size_t i = 0;
  for (; in[i]; ++i) out[i] = (char)std::tolower((unsigned char)in[i]);
  out[i] = '\0';
}

bool IsWhitespace(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

EHost LookUpHost(const char* productString) {
  // The order decides: the first key found anywhere in the product string wins.
  static const struct {
    const char* key;
    EHost host;
  } kKeys[] = {
      {"cubase", kHostCubase},
      {"reaper", kHostReaper},
      {"nuendo", kHostNuendo},
      {"cakewalk", kHostSonar},
      {"samplitude", kHostSamplitude},
      {"fruity", kHostFL},
      {"live", kHostAbletonLive},
      {"melodyne", kHostMelodyneStudio},
      {"vstmanlib", kHostVSTScanner},
      {"aulab", kHostAULab},
      {"garageband", kHostGarageBand},
      {"forte", kHostForte},
      {"chainer", kHostChainer},
      {"audition", kHostAudition},
      {"orion", kHostOrion},
      {"sawstudio", kHostSAWStudio},
      {"logic", kHostLogic},
      {"digital", kHostDigitalPerformer},
      {"audiomulch", kHostAudioMulch},
      {"presonus", kHostStudioOne},
      {"vst3plugintesthost", kHostVST3TestHost},
      {"protools", kHostProTools},
      {"ardour", kHostArdour},
      {"openmpt", kHostOpenMPT},
      {"renoise", kHostRenoise},
      {"standalone", kHostStandalone},
  };
  if (!productString) return kHostUnknown;
  std::string lower(productString);
  ToLower(&lower[0], lower.c_str());
  for (const auto& k : kKeys)
    if (std::strstr(lower.c_str(), k.key)) return k.host;
  return kHostUnknown;
}

void GetHostNameStr(EHost host, char* out) {
  if (!out) return;
  const char* name = "Unknown";
  switch (host) {
    case kHostReaper: name = "Reaper"; break;
    case kHostProTools: name = "ProTools"; break;
    case kHostCubase: name = "Cubase"; break;
    case kHostNuendo: name = "Nuendo"; break;
    case kHostSonar: name = "Sonar"; break;
    case kHostVegas: name = "Vegas"; break;
    case kHostFL: name = "FLStudio"; break;
    case kHostSamplitude: name = "Samplitude"; break;
    case kHostAbletonLive: name = "Live"; break;
    case kHostVSTScanner: name = "VSTScanner"; break;
    case kHostAULab: name = "AULab"; break;
    case kHostForte: name = "Forte"; break;
    case kHostChainer: name = "Chainer"; break;
    case kHostAudition: name = "Audition"; break;
    case kHostOrion: name = "Orion"; break;
    case kHostSAWStudio: name = "SAWStudio"; break;
    case kHostLogic: name = "Logic"; break;
    case kHostGarageBand: name = "GarageBand"; break;
    case kHostDigitalPerformer: name = "DigitalPerformer"; break;
    case kHostStandalone: name = "Standalone"; break;
    case kHostAudioMulch: name = "AudioMulch"; break;
    case kHostStudioOne: name = "StudioOne"; break;
    case kHostVST3TestHost: name = "VST3PluginTestHost"; break;
    case kHostArdour: name = "Ardour"; break;
    case kHostRenoise: name = "Renoise"; break;
    case kHostOpenMPT: name = "OpenMPT"; break;
    default: break;
  }
  std::strcpy(out, name);
}
