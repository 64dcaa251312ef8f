#pragma once
// Display texts of the instrument's list parameters, also used by the editor's menus.

extern const char* const labelSGWaveForm[6];
extern const char* const labelSGOctave[4];
extern const char* const labelPolarity[2];
extern const char* const labelEMRelease[3];
extern const char* const labelMGWaveForm[6];
extern const char* const labelKbdTrigger[6];
extern const char* const labelVP2Select[2];
extern const char* const labelModSrc[32];
extern const char* const labelInputSrc[32];
extern const char* const labelTrigSrc[17];
extern const char* const labelSyncRates[21];
extern const char* const labelCC[120];

// Long names and range texts of the modulation sources and triggers.
extern const char* const descModSource[32];
extern const char* const descInputSource[32];
extern const char* const outputModSource[32];
extern const char* const descTriggerSource[17];
