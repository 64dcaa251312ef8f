#pragma once
// Host identification: the host's product string mapped to a host code.

enum EHost {
  kHostUninit = -1,
  kHostUnknown = 0,
  kHostReaper,
  kHostProTools,
  kHostCubase,
  kHostNuendo,
  kHostSonar,
  kHostVegas,
  kHostFL,
  kHostSamplitude,
  kHostAbletonLive,
  kHostTracktion,
  kHostNTracks,
  kHostMelodyneStudio,
  kHostVSTScanner,
  kHostAULab,
  kHostForte,
  kHostChainer,
  kHostAudition,
  kHostOrion,
  kHostBias,
  kHostSAWStudio,
  kHostLogic,
  kHostGarageBand,
  kHostDigitalPerformer,
  kHostStandalone,
  kHostAudioMulch,
  kHostStudioOne,
  kHostVST3TestHost,
  kHostArdour,
  kHostRenoise,
  kHostOpenMPT,
};

// Lower-cases the product string and returns the code of the first search key found in it.
EHost LookUpHost(const char* productString);
// Writes the host's display name ("Unknown" for unnamed codes) into out (at least 32 bytes).
void GetHostNameStr(EHost host, char* out);
// Lower-case copy of in into out (out may be in).
void ToLower(char* out, const char* in);
// Tab, line feed, carriage return and space.
bool IsWhitespace(char c);
